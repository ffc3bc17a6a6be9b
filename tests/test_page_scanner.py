"""Page scanning on real Chromium: the element groups, field labels, spatial
labels, text elements and their records, field by field."""

import pytest

from vantle.engine.browser.page_scanner import PageScanner

pytestmark = pytest.mark.browser


@pytest.fixture(scope="module")
def scan(browser, server):
    """scan("scanner/x.html") -> (elements, texts), scanned once per module."""
    context = browser.new_context(viewport={"width": 1280, "height": 720})
    page = context.new_page()
    page.set_default_timeout(10_000)
    done = {}

    def _scan(name):
        if name not in done:
            page.goto(f"{server}/{name}")
            done[name] = PageScanner(page).extract_interactable_elements()
        return done[name]

    yield _scan
    context.close()


def by_id(records, ident, tag=None):
    found = [r for r in records if r["attributes"].get("id") == ident and (tag is None or r["tag"] == tag)]
    assert len(found) == 1, f"{ident}: {found}"
    return found[0]


def ids(records):
    return [r["attributes"].get("id") for r in records]


# ---- interactable group -------------------------------------------------------

def test_records_have_their_keys_in_order(scan):
    elements, texts = scan("scanner/controls.html")
    keys = ["tag", "text", "attributes", "bounding_box", "is_visible", "is_enabled", "xpath"]
    assert all(list(e) == keys for e in elements)
    text_keys = ["tag", "text", "has_direct_text", "attributes", "bounding_box", "is_visible", "is_enabled", "xpath"]
    assert texts and all(list(t) == text_keys for t in texts)
    assert all(list(e["bounding_box"]) == ["x", "y", "width", "height"] for e in elements + texts)


@pytest.mark.parametrize(
    "ident, field, expected",
    [
        ("code", "text", "abc"),  # value attribute stands in for missing inner text
        ("blank", "text", ""),  # white space only, no value attribute
        ("ghost-titled", "is_visible", False),  # hidden but named by its title
        ("ghost-titled", "text", ""),
        ("off", "is_enabled", False),
        ("off", "text", "Pay now"),
        ("home", "xpath", "/html[1]/body[1]/div[9]/a[1]"),
        ("code", "bounding_box", {"x": 0, "y": 81.265625, "width": 177, "height": 21}),
    ],
)
def test_interactable_fields(scan, ident, field, expected):
    elements, _ = scan("scanner/controls.html")
    assert by_id(elements, ident, tag=None if ident != "pointy" else "div")[field] == expected


def test_hidden_or_boxless_controls_are_left_out(scan):
    elements, _ = scan("scanner/controls.html")
    # visibility:hidden without a name, and display:none even with an aria-label
    assert "ghost" not in ids(elements)
    assert "gone" not in ids(elements)


@pytest.mark.parametrize(
    "ident, attributes",
    [
        ("empty-ph", {"id": "empty-ph", "name": "q", "placeholder": "", "_label": "Pay now"}),
        ("data", {"id": "data", "class": "btn primary", "data-testid": "x", "data-row": "3", "_label": "Pay now"}),
        ("logo", {"id": "logo", "alt": "Logo", "_label": "Home"}),
        ("ghost-titled", {"id": "ghost-titled", "title": "Close", "_label": "Checkout"}),
    ],
)
def test_interactable_attributes(scan, ident, attributes):
    elements, _ = scan("scanner/controls.html")
    record = by_id(elements, ident)
    assert record["attributes"] == attributes
    assert list(record["attributes"]) == list(attributes)


def test_pointer_styled_role_button_occurs_in_both_groups(scan):
    elements, _ = scan("scanner/controls.html")
    path = "/html[1]/body[1]/div[11]/div[1]"
    twins = [e for e in elements if e["xpath"] == path]
    assert [t["tag"] for t in twins] == ["div", "button"]
    assert twins[1]["attributes"] == {"_label": "Home"}
    assert twins[1]["bounding_box"] == {"x": 0, "y": 355, "width": 21, "height": 19}


# ---- field labels -------------------------------------------------------------

@pytest.mark.parametrize(
    "ident, label",
    [
        ("f-aria", "Email"),  # trimmed aria-label beats the placeholder
        ("f-aria-blank", "Phone"),  # blank aria-label falls through
        ("f-lb", "Via for"),  # empty aria-labelledby target falls through to label[for]
        ("f-lb-good", "Referenced"),
        ("user", "Username"),  # label[for] beats the placeholder
        ("f-title", "Tooltip"),
        ("f-sib", "Password"),  # preceding sibling
        ("f-long", "Short"),  # a 50+ character sibling is passed over
        ("f-first-child", "Nested"),  # sibling's first element child
        ("f-parent", "Deep"),  # parent's earlier child, whole text
        ("notes", "Notes"),
        ("country", "Country"),  # drop-downs are named by their label element
        ("region", "Region:"),  # a wrapping label without the options' texts
        ("q", "Find"),  # an image's alt text inside the label
        ("f-rating", "Star Rating"),
        ("f-lb-multi", "Billing Name"),  # every id of aria-labelledby, in order
        ("f-lb-over", "Referenced"),  # aria-labelledby outranks aria-label
        ("remember", "Remember me"),
        ("f-span", "Full name"),
        ("f-wrap-text", "Amount EUR"),  # a wrapped field's value is not part of its name
        ("f-deep", "Plan (yearly)"),
        ("f-cell", "Change Note"),  # a form laid out as a table: the header cell before the field's
        ("f-cell-colon", "Due date:"),  # or a plain cell whose words end in a colon
    ],
)
def test_field_label_sources(scan, ident, label):
    elements, _ = scan("scanner/labels.html")
    assert by_id(elements, ident)["attributes"]["_label"] == label


@pytest.mark.parametrize("ident, not_label", [("f-data-row", "Order 1041"), ("f-two-a", "Period"),
                                               ("f-two-b", "Period")])
def test_a_data_cell_or_a_cell_of_two_fields_names_no_field(scan, ident, not_label):
    elements, _ = scan("scanner/labels.html")
    assert by_id(elements, ident)["attributes"].get("_label") != not_label


def test_unusable_labelledby_selector_is_swallowed(scan):
    elements, _ = scan("scanner/labels.html")
    record = next(e for e in elements if e["attributes"].get("aria-labelledby") == "1bad")
    assert record["attributes"]["_label"] == "Fallback"


# ---- spatial labels -----------------------------------------------------------

@pytest.mark.parametrize(
    "ident, label",
    [
        ("b-account", "Account"),  # nearest of two headings above
        ("b-login", "Login"),  # the nearer one is not entirely above
        ("b-none", None),  # nothing entirely above
        ("b-touch", "Edge"),  # bottom edge touching the top edge
        ("b-right", None),  # candidate ends left of the element
        ("b-flush", "Lefty"),  # candidate's right edge touches the left edge
        ("b-tall", None),  # 40.5 px high candidate is a container
        ("b-field", "Own label"),  # field label kept, no spatial label
    ],
)
def test_spatial_labels(scan, ident, label):
    elements, _ = scan("scanner/spatial.html")
    assert by_id(elements, ident)["attributes"].get("_label") == label


def test_label_candidates(open_page):
    page = open_page("scanner/spatial.html")
    candidates = PageScanner(page)._collect_label_candidates()
    texts = [c["text"] for c in candidates]
    # the same words in two places are two candidates: each labels what lies below it
    assert texts == ["Login", "Account", "Edge", "Lefty", "Tall40", "Name", "Name"]
    assert candidates[4]["bounding_box"] == {"x": 1000, "y": 10, "width": 50, "height": 40}
    assert [c["bounding_box"]["y"] for c in candidates[5:]] == [300, 330]


# ---- text elements ------------------------------------------------------------

def test_text_wrappers(scan):
    _, texts = scan("scanner/text.html")
    kept = [(t["tag"], t["text"]) for t in texts]
    assert ("li", "Home") not in kept and ("a", "Home") in kept
    assert ("div", "Total 42") in kept and ("span", "42") in kept
    assert ("div", "Hello\n\nWorld") not in kept and ("p", "Hello") in kept and ("p", "World") in kept
    assert {"outer", "zeta", "twin-a", "twin-b", "edge-wrap", "edge"} <= set(ids(texts))
    assert not {"ghost", "blank", "none"} & set(ids(texts))


def test_text_element_records(scan):
    _, texts = scan("scanner/text.html")
    attributes = dict(by_id(texts, "empty-class")["attributes"])
    assert float(attributes.pop("_text_box").split(",")[2]) < by_id(texts, "empty-class")["bounding_box"]["width"]
    assert attributes == {
        "id": "empty-class", "class": "", "aria-label": "note", "data-k": "v"}
    home = next(t for t in texts if t["tag"] == "a")
    assert home["attributes"] == {"href": "/home", "data-nav": "main"}
    assert home["has_direct_text"] is True
    # words set in bold inside it, no text element of their own, are its own
    assert by_id(texts, "outer")["has_direct_text"] is True
    assert by_id(texts, "accent")["text"] == "Café"


# ---- pointer cursors and custom inputs ----------------------------------------

def test_pointer_group(scan):
    elements, _ = scan("scanner/pointer.html")
    by_path = {e["xpath"]: e for e in elements}
    second = by_path["/html[1]/body[1]/div[2]"]  # after one div, a span in between
    assert second == {
        "tag": "button", "text": "Second",
        "attributes": {"class": "hand card", "aria-label": "Open card", "_label": "between"},
        "bounding_box": {"x": 0, "y": 42, "width": 1280, "height": 27},
        "is_visible": True, "is_enabled": True, "xpath": "/html[1]/body[1]/div[2]"}
    assert all(isinstance(v, int) for v in second["bounding_box"].values())
    assert "/html[1]/body[1]/ul[1]/li[1]" in by_path  # 60 characters
    assert "/html[1]/body[1]/ul[1]/li[2]" not in by_path  # 61 characters
    assert "/html[1]/body[1]/ul[1]/li[3]" in by_path  # 10 descendants
    assert "/html[1]/body[1]/ul[1]/li[4]" not in by_path  # 11 descendants
    # a pointer container and its small descendants all qualify
    assert {"/html[1]/body[1]/div[3]", "/html[1]/body[1]/div[3]/span[1]", "/html[1]/body[1]/div[3]/span[2]"} <= set(by_path)
    assert by_path["/html[1]/body[1]/table[1]/tbody[1]/tr[1]/td[1]"]["text"] == "Cell"
    assert len(by_path) == len(elements)


def test_custom_inputs(scan):
    elements, _ = scan("scanner/custom.html")
    editable = [e for e in elements if e.get("is_editable_field")]
    assert [e["attributes"]["id"] for e in editable] == ["bio", "amount"]
    bio = editable[0]
    assert list(bio) == ["tag", "text", "attributes", "bounding_box", "is_visible", "is_enabled",
                         "is_editable_field", "xpath"]
    # no data- attributes beyond data-testid in this group; empty values kept
    assert bio["attributes"] == {"id": "bio", "placeholder": "", "aria-labelledby": "bio-label",
                                 "class": "rich-editable", "data-testid": "bio-field", "_label": "Biography"}
    assert editable[1]["attributes"]["_label"] == "Amount"
    # the same div in the interactable group (it has a test id) carries data-row
    assert by_id([e for e in elements if "is_editable_field" not in e], "bio")["attributes"]["data-row"] == "3"


def test_custom_input_seen_once(open_page):
    page = open_page("scanner/custom.html")

    class Twice:
        """The page, but every query answers each match twice."""

        def __getattr__(self, name):
            return getattr(page, name)

        def query_selector_all(self, selector):
            found = page.query_selector_all(selector)
            return found + found

    assert [e["attributes"]["id"] for e in PageScanner(Twice())._extract_custom_inputs()] == ["bio", "amount"]


# ---- robustness ---------------------------------------------------------------

def test_frame_content_follows_the_top_page_and_names_its_frame(scan):
    elements, texts = scan("scanner/frames.html")
    frame = "/html[1]/body[1]/iframe[1]"
    assert [(e["text"], e["attributes"].get("_frame")) for e in elements] == [
        ("Outside", None), ("Inside", frame), ("Framed field", frame), ("Framed pointer", frame)]
    assert [(t["text"], t["attributes"].get("_frame")) for t in texts] == [
        ("Outside", None), ("Inside", frame), ("Framed pointer", frame), ("Framed text", frame),
        ("Framed field", frame)]
    assert elements[1]["xpath"] == frame + "/html[1]/body[1]/button[1]"


def test_failing_pointer_script_keeps_other_groups(scan):
    elements, _ = scan("scanner/broken-pointer.html")
    assert [(e["tag"], e["text"], "is_editable_field" in e) for e in elements] == [
        ("button", "Submit", False), ("div", "Write here", True)]


def test_elements_removed_during_scan_are_skipped(open_page):
    page = open_page("scanner/controls.html")
    removed = []

    class Mutating:
        """Removes every other control right after the controls are queried."""

        def __getattr__(self, name):
            return getattr(page, name)

        def query_selector_all(self, selector):
            found = page.query_selector_all(selector)
            if selector.startswith("button, input"):
                for handle in found[::2]:
                    removed.append(handle.get_attribute("id"))
                    handle.evaluate("el => el.remove()")
            return found

    elements, texts = PageScanner(Mutating()).extract_interactable_elements()
    assert removed and "code" in removed
    assert not set(removed) & set(ids(elements) + ids(texts))
    assert {"blank", "off", "data", "logo"} <= set(ids(elements))


def test_element_failing_mid_scan_is_skipped(open_page):
    page = open_page("scanner/controls.html")

    class Flaky:
        def __init__(self, handle):
            self.handle = handle

        def __getattr__(self, name):
            return getattr(self.handle, name)

        def bounding_box(self):
            raise RuntimeError("Element is not attached to the DOM")

    class Page:
        def __getattr__(self, name):
            return getattr(page, name)

        def query_selector_all(self, selector):
            found = page.query_selector_all(selector)
            return [Flaky(h) if h.get_attribute("id") == "off" else h for h in found]

    elements, texts = PageScanner(Page()).extract_interactable_elements()
    assert "off" not in ids(elements) and "off" not in ids(texts)
    assert "data" in ids(elements) and "data" in ids(texts)


def test_scan_writes_its_records_to_a_snapshot(open_page, tmp_path, capsys):
    import json

    import vantle.settings as settings

    page = open_page("scanner/frames.html")
    settings.SAVE_SNAPSHOTS, settings.LOG_PATH = True, str(tmp_path)
    try:
        elements, texts = PageScanner(page).extract_interactable_elements()
    finally:
        del settings.SAVE_SNAPSHOTS, settings.LOG_PATH
    [path] = tmp_path.iterdir()
    assert json.loads(path.read_text()) == {"url": page.url, "elements": elements, "text_elements": texts}
    assert capsys.readouterr().out.endswith(f"[DOM snapshot saved → {tmp_path}/{path.name}]\n")


@pytest.mark.parametrize(
    "ident, visible, enabled",
    [
        ("in-legend", True, True),  # inside the disabled fieldset's first legend
        ("fenced", True, False),
        ("inherits", True, False),  # aria-disabled inherited by a role that supports it
        ("inherits-link", True, False),
        ("reenabled", True, True),  # a nearer aria-disabled="false" wins
        ("nohref", True, True),  # <a> without href has no role: its aria-disabled does not count
        ("label-span", True, False),  # follows its label to the disabled input
        ("in-button", True, False),  # takes the state of the button around it
        ("closed-details", False, True),  # has a box, but not visible; kept for its title
        ("shadowed", True, True),
    ],
)
def test_element_states(scan, ident, visible, enabled):
    elements, _ = scan("scanner/states.html")
    record = by_id(elements, ident)
    assert (record["is_visible"], record["is_enabled"]) == (visible, enabled)


def test_query_order_and_skips(scan):
    elements, texts = scan("scanner/states.html")
    order = ids(elements)
    # open shadow roots are searched; their elements follow the host's light children
    assert order.index("shadowed") == order.index("after-host") - 1
    assert by_id(elements, "shadowed")["xpath"] == "/button[1]"
    assert "Shadow text" in [t["text"] for t in texts]
    # display: contents has no box; an svg has no inner text
    assert not {"contents", "contents-empty"} & set(order)
    assert all(e["attributes"].get("data-testid") != "icon" for e in elements)


@pytest.mark.parametrize(
    "ident, role, label",
    [("country", "combobox", "Country"), ("region", "combobox", "Region:"), ("q", "textbox", "Find"),
     ("f-rating", "textbox", "Star Rating"), ("f-lb-multi", "textbox", "Billing Name"),
     ("f-lb-over", "textbox", "Referenced"), ("remember", "checkbox", "Remember me"),
     ("f-span", "textbox", "Full name"), ("user", "textbox", "Username"), ("f-wrap-text", "textbox", "Amount EUR"),
     ("f-deep", "radio", "Plan (yearly)")],
)
def test_field_labels_agree_with_the_browsers_accessible_names(open_page, ident, role, label):
    page = open_page("scanner/labels.html")
    elements, _ = PageScanner(page, batched=True).extract_interactable_elements()
    assert by_id(elements, ident)["attributes"]["_label"] == label
    found = page.get_by_role(role, name=label, exact=True)
    assert ident in [found.nth(i).get_attribute("id") for i in range(found.count())]


def test_a_blocks_own_words_are_kept_beside_its_box(scan):
    _, texts = scan("realistic/headings.html")
    heading = next(t for t in texts if t["text"] == "Order summary")
    x, y, w, h = map(float, heading["attributes"]["_text_box"].split(","))
    box = heading["bounding_box"]
    assert box["x"] <= x and w < box["width"] / 3 and box["y"] <= y <= y + h <= box["y"] + box["height"] + 0.5
    group = next(t for t in texts if t["text"].startswith("Group by:"))
    assert float(group["attributes"]["_text_box"].split(",")[2]) < 100
    link = next(t for t in texts if t["text"] == "weekly")
    assert "_text_box" not in link["attributes"]  # an inline element's box is its words

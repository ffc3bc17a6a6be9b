"""Direct resolution on hand-built records: matching primitives, the generic
path, verification and find paths, and text read next to an anchor."""

import pytest

from vantle.engine.strategies import direct_strategy as ds
from vantle.engine.strategies.direct_strategy import DirectStrategy


def el(text="", tag="button", attrs=None, x=0, y=0, w=80, h=20, visible=True, enabled=True, xpath=None, **extra):
    """An element descriptor as the page scanner builds it."""
    record = {
        "tag": tag,
        "text": text,
        "attributes": dict(attrs or {}),
        "bounding_box": {"x": x, "y": y, "width": w, "height": h},
        "is_visible": visible,
        "is_enabled": enabled,
        "xpath": xpath or f"/html[1]/body[1]/{tag}[{int(y) + 1}]",
    }
    record.update(extra)
    return record


def txt(text, tag="span", x=0, y=0, w=80, h=20, xpath=None, attrs=None):
    """A text element as the page scanner builds it."""
    return {
        "tag": tag,
        "text": text,
        "has_direct_text": True,
        "attributes": dict(attrs or {}),
        "bounding_box": {"x": x, "y": y, "width": w, "height": h},
        "is_visible": True,
        "is_enabled": True,
        "xpath": xpath or f"/html[1]/body[1]/div[1]/{tag}[{int(x) + int(y) + 1}]",
    }


def step(action, target, value=None, **more):
    return {"action": action, "target": target, "value": value, **more, "_literal_target": False}


@pytest.fixture
def strategy():
    return DirectStrategy()


def resolve(*args, **kwargs):
    return DirectStrategy().resolve(*args, **kwargs)


def texts(records):
    return [r["text"] for r in records]


# ---- constants ---------------------------------------------------------------


def test_constants_have_their_values_and_kinds():
    assert ds._MATCH_ATTRIBUTES == ("aria-label", "_label", "placeholder", "data-testid", "type", "alt", "title")
    assert len(ds._TYPE_DESCRIPTORS) == 18 and {"btn", "element", "widget"} <= ds._TYPE_DESCRIPTORS
    assert len(ds._TEXT_ONLY_TAGS) == 14 and "div" in ds._TEXT_ONLY_TAGS and "button" not in ds._TEXT_ONLY_TAGS
    assert ds._DOM_DISTANCE_THRESHOLD == 10 and type(ds._DOM_DISTANCE_THRESHOLD) is int
    assert ds._TYPEABLE_TAGS == {"input", "textarea"}
    assert ds._TYPEABLE_ROLES == {"textbox", "searchbox", "spinbutton", "combobox"}
    assert ds._SELECTABLE_TAGS == {"select"}
    assert list(ds._DIRECTIONS.items()) == [
        ("next to", "right"), ("right of", "right"), ("left of", "left"),
        ("below", "below"), ("under", "below"), ("above", "above"),
    ]


@pytest.mark.parametrize(
    "raw, normal",
    [("$1,000", "1000"), (" £5 ", "5"), ("€ 1,5", "15"), ("1000 USD", "1000 usd"), ("$", ""), ("\u2003ÉUR\u00a0", "éur")],
)
def test_norm(raw, normal):
    assert ds._norm(raw) == normal


# ---- surfaces ------------------------------------------------------------------


@pytest.mark.parametrize(
    "attrs, surfaces",
    [
        ({"class": "shopping_cart_link btn css-1x2y3"}, ["shopping cart link"]),
        ({"class": "btn-primary"}, ["btn primary"]),
        ({"id": "btn-primary"}, ["primary"]),
        ({"id": "login-button_2"}, ["login button"]),
        ({"class": "btn a1b2"}, []),
        ({"class": "card\u2003title"}, ["card title"]),
        ({"class": "item\u0663"}, []),  # an Arabic-Indic digit marks a generated token too
        ({"data-qa-submit_order": "ignored value"}, ["qa submit order"]),
        ({"data-x": "v", "data-a1-b": "v"}, []),
        ({"data-testid": "checkout"}, ["checkout"]),
        ({"aria-label": "", "placeholder": "Search", "class": "", "id": ""}, ["Search"]),
        ({"href": "/home", "title": "Home page"}, ["Home page"]),  # a tooltip names icon-only controls
    ],
)
def test_searchable_strings_from_attributes(attrs, surfaces):
    assert ds._searchable_strings({"attributes": attrs}) == surfaces


def test_searchable_strings_keep_order_and_duplicates():
    record = el(
        "Go",
        attrs={
            "class": "go-button",
            "alt": "Go",
            "type": "submit",
            "data-testid": "go",
            "placeholder": "Go",
            "_label": "Go",
            "aria-label": "Go",
            "id": "go-button",
            "data-track-click": "1",
        },
    )
    assert ds._searchable_strings(record) == ["Go", "Go", "Go", "go", "submit", "Go", "go button", "button", "track click"]
    assert ds._searchable_strings(record, include_label=True)[:3] == ["Go", "Go", "Go"]
    assert ds._searchable_strings(record, True).count("Go") == 5


@pytest.mark.parametrize("record", [{}, {"text": ""}, {"attributes": None}, {"text": None, "attributes": {}}])
def test_records_without_surfaces(record):
    assert ds._searchable_strings(record) == []
    assert not ds._matches_element("", record)


# ---- containment and equality ----------------------------------------------------


@pytest.mark.parametrize(
    "target, record, include_label, expected",
    [
        ("", el("anything"), False, True),
        ("log_in", el("Log In Now"), False, True),
        ("Username", el(tag="input", attrs={"_label": "Username"}), False, False),
        ("Username", el(tag="input", attrs={"_label": "Username"}), True, True),
        ("ÉCOLE", el("Mon école"), False, True),
        ("ΣΟΦΊΑ", el("σοφία"), False, True),
        ("cart", el(attrs={"class": "shopping_cart_link"}), False, True),
        ("login button", el(attrs={"id": "login-button_2"}), False, True),
        ("submit order", el(attrs={"data-qa-submit_order": ""}), False, True),
        ("checkout", el(attrs={"data-testid": "checkout-now"}), False, True),
        ("Checkout", el("Pay"), False, False),
        # A tooltip names its control only as a whole.
        ("add another category", el(tag="a", attrs={"title": " Add another category "}), False, True),
        ("category", el(tag="a", attrs={"title": "Add another category"}), False, False),
    ],
)
def test_matches_element(target, record, include_label, expected):
    assert ds._matches_element(target, record, include_label) is expected


@pytest.mark.parametrize(
    "target, text, expected",
    [
        ("login", "  Login  ", True),
        (" login", "  Login  ", False),
        ("login", "Login now", False),
        ("log_in", "Log in", True),
        ("login", "Login\u00a0", True),
    ],
)
def test_exact_matches_element(target, text, expected):
    assert ds._exact_matches_element(target, el(text)) is expected


class TestHyphensAndUnderscoresInSurfaces:
    """A label written with "-" or "_" matches a target written the same way."""

    @pytest.mark.parametrize("target", ["One-time code", "one time code", "One_time code", "time code"])
    def test_label_with_hyphen_contains(self, target):
        field = el(tag="input", attrs={"_label": "One-time code"})
        assert ds._matches_element(target, field, include_label=True)

    @pytest.mark.parametrize("target", ["Sign-up", "sign up", "SIGN_UP"])
    def test_text_with_hyphen_equals(self, target):
        assert ds._exact_matches_element(target, el(" Sign-up "))

    def test_type_into_hyphenated_label(self):
        field = el(tag="input", attrs={"_label": "One-time code"}, y=40)
        other = el(tag="input", attrs={"_label": "Email"}, y=0)
        result = resolve(step("type", "One-time code", "123456"), [other, field])
        assert result["element"] is field

    def test_click_hyphenated_button_prefers_exact(self):
        exact = el("Sign-up", y=50)
        longer = el("Sign-up for news", y=0)
        result = resolve(step("click", "Sign-up", ordinal=1), [longer, exact])
        assert result["element"] is exact
        assert result["candidates"] == [exact]

    def test_underscore_target_still_matches_spaced_text(self):
        button = el("Log In Now")
        assert resolve(step("click", "log_in", ordinal=1), [button])["element"] is button


# ---- type descriptors ---------------------------------------------------------------


@pytest.mark.parametrize(
    "target, stripped",
    [
        ("search input", "search"),
        ("Login button", "Login"),
        ("username field", "username"),
        ("Button", "Button"),
        ("input search field", "search"),
        ("the button", "the"),
        ("sign  up   link", "sign up"),
        ("  button  ", "  button  "),
        ("", ""),
        ("Add to cart BUTTON", "Add to cart"),
        ("link to button page", "to button page"),
    ],
)
def test_strip_type_descriptors(target, stripped):
    assert ds._strip_type_descriptors(target) == stripped


# ---- filtering by action ------------------------------------------------------------------


def test_filter_returns_input_itself_for_other_actions():
    elements = [el("a"), el("b", tag="input")]
    for action in ("click", "hover", "", "Type"):
        assert ds._filter_by_action(action, elements) is elements


def test_filter_for_type_keeps_typeable_elements_in_order():
    keep = [
        el(tag="input"),
        el(tag="textarea"),
        el(tag="span", attrs={"role": "searchbox"}),
        el(tag="div", is_editable_field=True),
        el(tag="div", attrs={"role": "combobox"}),
    ]
    drop = [el(tag="button"), el(tag="div", attrs={"role": "Textbox"}), el(tag="INPUT"), el(tag="select")]
    mixed = [drop[0], keep[0], drop[1], keep[1], keep[2], drop[2], keep[3], drop[3], keep[4]]
    result = ds._filter_by_action("type", mixed)
    assert result is not mixed
    assert len(result) == len(keep) and all(a is b for a, b in zip(result, keep))


def test_filter_for_select_keeps_native_selects_only():
    native = el(tag="select")
    custom = el(tag="div", attrs={"role": "combobox"})
    assert ds._filter_by_action("select", [custom, native])[0] is native
    assert len(ds._filter_by_action("select", [custom, native])) == 1


# ---- tree distance ----------------------------------------------------------------------


@pytest.mark.parametrize(
    "a, b, distance",
    [
        ("/html[1]/body[1]/div[1]/a[1]", "/html[1]/body[1]/div[2]/span[1]", 4),
        ("/html[1]/body[1]/div[1]", "/html[1]/body[1]/div[1]", 0),
        ("/html[1]/body[1]/div[1]", "/html[1]/body[1]/div[1]/p[1]", 1),
        ("", "", 0),
        ("", "/html[1]", 2),
        ("//html[1]/body[1]//", "/html[1]/body[1]", 0),
        ("/html[1]/body[1]/div[1]", "/html[1]/body[2]/div[1]", 4),
    ],
)
def test_dom_distance(a, b, distance):
    assert ds._dom_distance(a, b) == distance
    assert ds._dom_distance(b, a) == distance


# ---- generic path ---------------------------------------------------------------------------


class TestGenericPath:
    def test_descriptor_word_is_stripped(self):
        button = el("Login")
        result = resolve(step("click", "Login button", ordinal=1), [el("Cancel"), button])
        assert list(result) == ["resolved", "confidence", "element", "candidates"]
        assert result["resolved"] is True and result["confidence"] == 1.0 and type(result["confidence"]) is float
        assert result["element"] is button and result["candidates"][0] is button

    def test_exact_match_excludes_substring_matches(self):
        add, add_to_cart = el("Add", x=200), el("Add to cart")
        result = resolve(step("click", "add", ordinal=1), [add_to_cart, add])
        assert result["element"] is add and len(result["candidates"]) == 1

    @pytest.mark.parametrize("ordinal, index", [(1, 0), (2, 1), (3, 2), (5, 2), (10**30, 2)])
    def test_ordinal_counts_top_to_bottom(self, ordinal, index):
        links = [el("Edit", tag="a", y=y) for y in (300, 100, 200)]
        result = resolve(step("click", "Edit", ordinal=ordinal), links)
        assert result["element"] is sorted(links, key=lambda r: r["bounding_box"]["y"])[index]

    def test_equal_rows_order_by_x_then_page_order(self):
        right, left, first_twin, second_twin = el("Buy", x=50), el("Buy", x=10), el("Buy", y=9), el("Buy", y=9)
        result = resolve(step("click", "Buy", ordinal=1), [right, left, first_twin, second_twin])
        assert [id(r) for r in result["candidates"]] == [id(left), id(right), id(first_twin), id(second_twin)]

    def test_missing_box_sorts_as_origin(self):
        boxed = el("Go", x=5, y=5)
        unboxed = {"text": "Go", "is_visible": True}
        partial = {"text": "Go", "is_visible": True, "bounding_box": {"y": 5}}
        result = resolve(step("click", "Go"), [boxed, partial, unboxed])
        assert [id(r) for r in result["candidates"]] == [id(unboxed), id(partial), id(boxed)]

    def test_visible_substring_beats_hidden_exact(self):
        hidden = el("Save", visible=False)
        shown = el("Save changes", y=100)
        assert resolve(step("click", "Save", ordinal=1), [hidden, shown])["element"] is shown

    def test_hidden_element_when_nothing_visible_matches(self):
        hidden = el("Save", visible=False)
        no_flag = {"text": "Save draft", "tag": "button"}
        result = resolve(step("click", "Save", ordinal=1), [el("Cancel"), no_flag, hidden])
        assert result["element"] is hidden and result["candidates"] == [hidden]

    def test_label_names_a_field_for_typing_only(self):
        field = el(tag="input", attrs={"_label": "Username"})
        assert resolve(step("type", "Username", "bob"), [field])["element"] is field
        for action in ("click", "hover"):
            assert resolve(step(action, "Username", ordinal=1), [field])["resolved"] is False

    def test_type_into_an_editable_element(self):
        editor = el("", tag="div", attrs={"aria-label": "Message body"}, is_editable_field=True, y=90)
        plain = el("", tag="div", attrs={"aria-label": "Message body preview"})
        assert resolve(step("type", "message body", "Hi"), [plain, editor])["element"] is editor

    def test_type_skips_elements_that_take_no_text(self):
        button = el("Email")
        field = el(tag="input", attrs={"placeholder": "Email address"}, visible=False)
        assert resolve(step("type", "Email field", "a@b.c"), [button, field])["element"] is field

    def test_extract_text_falls_back_to_visible_text_elements(self):
        heading = txt("Order number 42", tag="h2")
        hidden = dict(txt("Order number"), is_visible=False)
        result = resolve(step("extract_text", "Order number", ordinal=1), [el("Cancel")], [hidden, heading])
        assert result["element"] is heading

    def test_text_fallback_orders_by_position(self):
        lower, upper = txt("Order number", tag="h2", y=300), txt("Order number", tag="h3", y=100)
        result = resolve(step("extract_text", "order number", ordinal=2), [], [lower, upper])
        assert result["element"] is lower and result["candidates"] == [upper, lower]

    @pytest.mark.parametrize("action", ["hover", "type", "select"])
    def test_text_fallback_only_for_extract_text_and_click(self, action):
        result = resolve(step(action, "Order number", ordinal=1), [el("Cancel")], [txt("Order number")])
        assert result == {"resolved": False, "confidence": 0.0, "element": None, "candidates": []}

    def test_text_fallback_ignores_field_labels(self):
        labelled = dict(txt("x"), text="", attributes={"_label": "Order"})
        assert resolve(step("extract_text", "Order"), [], [labelled])["resolved"] is False

    def test_select_never_takes_a_custom_dropdown(self):
        custom = el("Country", tag="div", attrs={"role": "combobox"})
        assert resolve(step("select", "Country", "Canada"), [custom])["resolved"] is False

    def test_absent_action_uses_every_element(self):
        link = el("Home", tag="a")
        assert resolve({"target": "home"}, [link])["element"] is link

    def test_absent_target_matches_any_element_with_a_surface(self):
        bare, named = {"is_visible": True}, el("Anything", y=10)
        assert resolve({"action": "click"}, [bare, named])["element"] is named

    def test_caller_sequences_are_not_reordered(self):
        elements = [el("Go", y=30), el("Go", y=10), el("Go", y=20)]
        before = list(elements)
        result = resolve(step("click", "Go", ordinal=1), elements)
        assert all(a is b for a, b in zip(elements, before))
        assert result["candidates"] is not elements

    @pytest.mark.parametrize("ordinal, text", [(0, "Go now please"), (-1, "Go now"), (-2, "Go")])
    def test_nonpositive_ordinal_orders_by_text_length(self, ordinal, text):
        elements = [el("Go now please", y=0), el("Go", y=50), el("Go now", y=10)]
        assert resolve(step("hover", "o", ordinal=ordinal), elements)["element"]["text"] == text

    def test_ordinal_before_the_pool_is_an_index_error(self):
        with pytest.raises(IndexError):
            resolve(step("click", "Go", ordinal=-3), [el("Go"), el("Go")])


class TestSelectByLabel:
    """A native drop-down is found by the label next to it."""

    def test_select_finds_drop_down_by_label(self):
        country = el(tag="select", attrs={"_label": "Country"}, y=100)
        state = el(tag="select", attrs={"_label": "State"})
        assert resolve(step("select", "Country", "Canada"), [state, country])["element"] is country

    def test_select_prefers_exact_label(self):
        billing = el(tag="select", attrs={"_label": "Billing country"})
        plain = el(tag="select", attrs={"_label": "Country"}, y=200)
        assert resolve(step("select", "Country dropdown", "Canada"), [billing, plain])["element"] is plain


# ---- verification and find paths ----------------------------------------------------------


class TestVerify:
    def test_hidden_element_is_present_but_not_visible(self):
        hidden = el("Products", visible=False)
        present = resolve(step("verify_present", "Products"), [hidden])
        assert list(present) == ["resolved", "verified", "confidence", "element", "state", "candidates"]
        assert present["verified"] is True and present["element"] is hidden
        assert present["state"] == {"present": True, "visible": False, "enabled": True}
        assert list(present["state"]) == ["present", "visible", "enabled"]
        assert resolve(step("verify_visible", "Products"), [hidden])["verified"] is False

    @pytest.mark.parametrize(
        "record, enabled_verified, disabled_verified",
        [
            (el("Submit", enabled=False), False, True),
            (el("Submit", enabled=True), True, False),
            ({"text": "Submit"}, False, True),
        ],
    )
    def test_enabled_and_disabled(self, record, enabled_verified, disabled_verified):
        assert resolve(step("verify_enabled", "Submit"), [record])["verified"] is enabled_verified
        assert resolve(step("verify_disabled", "Submit"), [record])["verified"] is disabled_verified

    def test_descriptor_stripped_and_shortest_text_wins(self):
        longer, shorter = el("Save changes"), el("Save", visible=False)
        result = resolve(step("verify_present", "Save button"), [longer, shorter])
        assert result["element"] is shorter
        assert [id(r) for r in result["candidates"]] == [id(shorter), id(longer)]

    def test_not_found(self):
        result = resolve(step("verify_visible", "Missing"), [el("Here")])
        assert result == {
            "resolved": False, "verified": False, "confidence": 0.0, "element": None, "state": {}, "candidates": [],
        }
        assert list(result) == ["resolved", "verified", "confidence", "element", "state", "candidates"]

    def test_label_is_not_a_surface_for_verification(self):
        field = el(tag="input", attrs={"_label": "Username"})
        assert resolve(step("verify_present", "Username"), [field])["resolved"] is False

    @pytest.mark.parametrize("method, action", [("_resolve_verify", "verify_text_present"), ("_resolve_verify_text", "verify_present")])
    def test_action_outside_the_check_table(self, strategy, method, action):
        with pytest.raises(KeyError):
            getattr(strategy, method)(action, "x", [])


class TestVerifyText:
    def test_shortest_containing_text_and_its_state(self):
        short, long_ = txt("Welcome back"), txt("Welcome back, Ada!")
        result = resolve(step("verify_text_visible", "welcome BACK"), [], [long_, short])
        assert result["element"] is short and result["verified"] is True
        assert result["state"] == {"present": True, "visible": True}

    def test_needle_is_taken_literally(self):
        assert resolve(step("verify_text_present", "sign_up"), [], [txt("Sign up")])["resolved"] is False
        assert resolve(step("verify_text_present", "Total field"), [], [txt("Total")])["resolved"] is False

    def test_hidden_text_element(self):
        hidden = dict(txt("Done"), is_visible=False)
        result = resolve(step("verify_text_visible", "Done"), [], [hidden])
        assert result["resolved"] is True and result["verified"] is False


class TestFindText:
    def test_shortest_containing_text(self):
        total, subtotal = txt("Total: $5"), txt("Subtotal")
        result = resolve(step("find_text", "total"), [], [total, subtotal])
        assert result["element"] is subtotal
        assert [id(r) for r in result["candidates"]] == [id(subtotal), id(total)]

    def test_not_found(self):
        assert resolve(step("find_text", "none"), [], [txt("Total")]) == {
            "resolved": False, "confidence": 0.0, "element": None, "candidates": [],
        }

    def test_exact_lists_exact_matches_then_containing(self):
        grand, total = txt("Grand Total"), txt(" Total ")
        result = resolve(step("find_exact_text", "Total"), [], [grand, total])
        assert result["element"] is total
        assert [id(r) for r in result["candidates"]] == [id(total), id(grand), id(total)]

    def test_exact_first_in_page_order(self):
        first, second = txt("Total  "), txt("Total")
        assert resolve(step("find_exact_text", "total"), [], [first, second])["element"] is first

    def test_exact_near_misses(self):
        totals, total = txt("Totals"), txt("Total")
        result = resolve(step("find_exact_text", "Tot"), [], [totals, total])
        assert result["resolved"] is False and result["element"] is None
        assert [id(r) for r in result["candidates"]] == [id(total), id(totals)]

    def test_exact_target_is_not_trimmed(self):
        assert resolve(step("find_exact_text", "Total "), [], [txt("Total")])["resolved"] is False


# ---- spatial text ---------------------------------------------------------------------------


def row(*cells, y=0, parent="/html[1]/body[1]/div[1]"):
    """Text elements side by side in one row: (text, x, width)."""
    return [txt(t, x=x, y=y, w=w, xpath=f"{parent}/span[{i + 1}]") for i, (t, x, w) in enumerate(cells)]


def returns_row():
    return row(("Potential Returns", 0, 150), ("$29.00", 200, 60), ("$1,000.00", 400, 80))


class TestVerifySpatialText:
    @pytest.mark.parametrize("expected, verified", [("$29.00", True), ("29", True), ("29.000", True), ("$1,000.00", False)])
    def test_nearest_text_to_the_right(self, expected, verified):
        anchor, near, far = returns_row()
        result = resolve(step("verify_spatial_text", "next to Potential Returns", expected), [], [far, anchor, near])
        assert list(result) == ["resolved", "verified", "confidence", "element", "state", "candidates"]
        assert result["element"] is near and result["verified"] is verified
        assert result["state"] == {"expected": expected, "actual": "$29.00"}
        assert [id(r) for r in result["candidates"]] == [id(near), id(far)]

    def test_currency_and_separators_are_ignored(self):
        cells = row(("Amount", 0, 100), (" 1000 USD ", 150, 100))
        result = resolve(step("verify_spatial_text", "right of amount", "$1,000"), [], cells)
        assert result["verified"] is True and result["state"]["actual"] == "1000 USD"

    @pytest.mark.parametrize(
        "target, direction_cells",
        [
            ("below the Total", [("Total", 0, 0), ("$5", 0, 40)]),
            ("below  Total", [("Total", 0, 0), ("$5", 0, 40)]),
            ("UNDER a an Total", [("Total", 0, 0), ("$5", 0, 40)]),
            ("above Total", [("$5", 0, 0), ("Total", 0, 40)]),
            ("left of Total", [("$5", 0, 0), ("Total", 200, 0)]),
            ("right of Total", [("Total", 0, 0), ("$5", 200, 0)]),
        ],
    )
    def test_directions_and_articles(self, target, direction_cells):
        cells = [txt(t, x=x, y=y, xpath=f"/html[1]/body[1]/p[{i + 1}]") for i, (t, x, y) in enumerate(direction_cells)]
        result = resolve(step("verify_spatial_text", target, "5"), [], cells)
        assert result["verified"] is True and result["element"]["text"] == "$5"

    @pytest.mark.parametrize("target", ["near Total", "Total", "next to", "next to   ", "nextto Total"])
    def test_no_direction_or_no_anchor_text(self, target):
        result = resolve(step("verify_spatial_text", target, "5"), [], returns_row())
        assert result == {
            "resolved": False, "verified": False, "confidence": 0.0, "element": None,
            "state": {"expected": "5"}, "candidates": [],
        }

    def test_anchor_not_found(self):
        result = resolve(step("verify_spatial_text", "next to Potential Losses", "5"), [], returns_row())
        assert result["resolved"] is False and result["element"] is None
        assert result["state"] == {"expected": "5", "actual": "anchor 'Potential Losses' not found"}

    def test_anchor_is_the_first_line_of_a_text(self):
        anchor = txt("  Total\n$5.00", x=0, w=60, h=40, xpath="/html[1]/body[1]/div[1]/p[1]")
        value = txt("$5.00", x=100, y=10, xpath="/html[1]/body[1]/div[1]/p[2]")
        assert resolve(step("verify_spatial_text", "next to total", "5"), [], [anchor, value])["element"] is value

    def test_a_block_around_the_anchor_words_is_not_the_anchor(self):
        panel = txt("Total", x=0, y=0, w=800, h=600, xpath="/html[1]/body[1]/div[1]")
        cell = txt("Total", x=0, y=300, w=60, h=20, xpath="/html[1]/body[1]/div[1]/span[1]")
        beside_cell = txt("$7", x=100, y=300, xpath="/html[1]/body[1]/div[1]/span[2]")
        beside_panel = txt("$9", x=900, y=100, xpath="/html[1]/body[1]/span[3]")
        result = resolve(step("verify_spatial_text", "next to Total", "7"), [], [panel, beside_panel, cell, beside_cell])
        assert result["element"] is beside_cell and result["verified"] is True

    def test_the_namesake_read_first_wins_over_a_narrower_one_further_down(self):
        # a ticket's field, then the same label in its change history with the old value
        field = txt("Priority:", tag="th", x=0, y=100, w=180, h=30, xpath="/html[1]/body[1]/table[1]/tr[1]/th[1]")
        value = txt("blocker", tag="td", x=200, y=105, w=60, xpath="/html[1]/body[1]/table[1]/tr[1]/td[1]")
        old_label = txt("Priority:", tag="th", x=500, y=700, w=76, h=26, xpath="/html[1]/body[1]/table[2]/tr[1]/th[1]")
        old_value = txt("critical", tag="td", x=580, y=703, w=60, xpath="/html[1]/body[1]/table[2]/tr[1]/td[1]")
        cells = [old_label, old_value, field, value]
        assert resolve(step("verify_spatial_text", "right of Priority:", "blocker"), [], cells)["verified"] is True
        extracted = resolve(step("extract_text_spatial", "right of Priority:", None), [], cells)
        assert extracted["extracted"] == "blocker"

    def test_a_namesake_with_nothing_in_the_direction_gives_way(self):
        heading = txt("Description", tag="h2", x=0, y=0, w=900, h=24, xpath="/html[1]/body[1]/h2[1]")
        back_link = txt("Description", tag="a", x=800, y=900, w=60, h=16, xpath="/html[1]/body[1]/div[1]/a[1]")
        beside_link = txt("Note: see the help", x=300, y=905, w=400, xpath="/html[1]/body[1]/div[1]/p[1]")
        text = txt("The login page is empty.", tag="p", x=0, y=40, w=400, xpath="/html[1]/body[1]/p[1]")
        cells = [heading, text, back_link, beside_link]
        assert resolve(step("extract_text_spatial", "below Description", None), [], cells)["extracted"] == (
            "The login page is empty.")
        # the heading has nothing on its right: the link further down does
        assert resolve(step("extract_text_spatial", "left of Description", None), [], cells)["element"] is beside_link

    def test_band_edges_are_inclusive(self):
        anchor = txt("Total", x=0, y=100, w=50, h=20)
        on_top_edge = txt("$3", x=100, y=90, w=20, h=20)  # centre y = 100
        above_band = txt("$4", x=60, y=89, w=20, h=20)
        result = resolve(step("verify_spatial_text", "right of Total", "3"), [], [anchor, above_band, on_top_edge])
        assert result["element"] is on_top_edge and result["candidates"] == [on_top_edge]

    def test_candidates_must_be_text_tags_with_place(self):
        anchor = txt("Total", x=0)
        button = txt("$1", tag="button", x=100)
        no_path = dict(txt("$2", x=150), xpath="")
        no_box = dict(txt("$3", x=200), bounding_box={})
        kept = txt("$4", tag="td", x=300)
        result = resolve(step("verify_spatial_text", "next to Total", "4"), [], [anchor, button, no_path, no_box, kept])
        assert result["candidates"] == [kept]

    def test_nothing_in_the_direction(self):
        anchor = txt("Total", x=500)
        result = resolve(step("verify_spatial_text", "next to Total", "5"), [], [txt("$5", x=0), anchor])
        assert result["resolved"] is True and result["verified"] is False and result["confidence"] == 1.0
        assert result["element"] is anchor and result["candidates"] == []
        assert result["state"] == {"expected": "5", "actual": "no element right of 'Total'"}

    @pytest.mark.parametrize("expected", ["anything", "$29.00", "$", ",", ""])
    def test_an_empty_cell_confirms_no_value(self, expected):
        cells = row(("Total", 0, 50), ("", 100, 50))
        assert resolve(step("verify_spatial_text", "next to Total", expected), [], cells)["verified"] is False

    def test_tree_distance_limits_text_anchors_only(self):
        deep = "/html[1]/body[1]/div[1]/div[1]/div[1]/div[1]/div[1]/span[1]"
        far = txt("$11", x=100, xpath="/html[1]/body[1]/section[1]/div[1]/div[1]/div[1]/p[1]")  # 6 up, 5 down
        edge = txt("$10", x=200, xpath="/html[1]/body[1]/section[1]/div[1]/div[1]/p[1]")  # 6 up, 4 down
        from_text = resolve(step("verify_spatial_text", "next to Total", "10"), [], [txt("Total", xpath=deep), far, edge])
        assert from_text["candidates"] == [edge]
        descriptor = el("Total", tag="button", w=80, xpath=deep)
        from_button = resolve(step("verify_spatial_text", "next to Total", "11"), [descriptor], [far, edge])
        assert from_button["element"] is far and from_button["candidates"] == [far, edge]

    def test_descriptor_anchor_by_text_then_aria_label(self):
        icon = el("", tag="button", attrs={"aria-label": " Close "}, x=0, xpath="/html[1]/body[1]/button[1]")
        near = txt("dialog", x=100, xpath="/html[1]/body[1]/span[1]")
        assert resolve(step("verify_spatial_text", "right of close", "dialog"), [icon], [near])["element"] is near
        titled = el(" close ", tag="button", x=300, xpath="/html[1]/body[1]/button[2]")
        result = resolve(step("verify_spatial_text", "left of Close", "dialog"), [icon, titled], [near])
        assert result["element"] is near  # the anchor with that text wins over the labelled icon

    def test_anchor_record_is_never_its_own_candidate(self):
        anchor = txt("Total", x=0, w=100)
        result = resolve(step("verify_spatial_text", "right of Total", "x"), [anchor], [anchor])
        assert result["candidates"] == [] and result["element"] is anchor

    @pytest.mark.parametrize("missing", ["x", "y", "width", "height"])
    def test_candidate_box_without_a_coordinate(self, missing):
        anchor, value = row(("Total", 0, 50), ("$5", 100, 50))
        del value["bounding_box"][missing]
        with pytest.raises(KeyError, match=f"'{missing}'"):
            resolve(step("verify_spatial_text", "next to Total", "5"), [], [anchor, value])

    def test_anchor_box_without_a_coordinate(self):
        anchor, value = row(("Total", 0, 50), ("$5", 100, 50))
        del anchor["bounding_box"]["height"]
        with pytest.raises(KeyError, match="'height'"):
            resolve(step("extract_text_spatial", "next to Total"), [], [anchor, value])


class TestExtractSpatialText:
    def test_extracts_the_nearest_text(self):
        anchor, near, far = returns_row()
        near["text"] = "  $29.00 \n"
        result = resolve(step("extract_text_spatial", "right of potential returns"), [], [anchor, far, near])
        assert list(result) == ["resolved", "confidence", "element", "extracted", "candidates"]
        assert result["element"] is near and result["extracted"] == "$29.00"
        assert result["candidates"] == [near, far]

    @pytest.mark.parametrize("target", ["left of Potential Returns", "above Potential Returns", "near Potential Returns", "next to Nothing"])
    def test_nothing_found_extracts_nothing(self, target):
        result = resolve(step("extract_text_spatial", target), [], returns_row())
        assert result == {"resolved": False, "confidence": 0.0, "element": None, "extracted": "", "candidates": []}

    def test_method_with_default_dom_elements(self, strategy):
        anchor, near, _ = returns_row()
        assert strategy._resolve_extract_spatial_text("next to Potential Returns", [anchor, near])["extracted"] == "$29.00"
        verify = strategy._resolve_verify_spatial_text("next to Potential Returns", "29", [anchor, near])
        assert verify["verified"] is True


@pytest.mark.parametrize("action", ["find_text", "find_exact_text", "verify_text_present", "verify_text_visible"])
@pytest.mark.parametrize("text_elements", [None, []])
def test_text_paths_without_text_elements(action, text_elements):
    # "Done" exists only as an element descriptor, where text paths never look.
    result = resolve(step(action, "Done"), [el("Done")], text_elements)
    assert result["resolved"] is False and result["element"] is None and result["candidates"] == []


# ---- records of the wrong kind -----------------------------------------------------------


@pytest.mark.parametrize(
    "instruction",
    [
        {"action": 1, "target": "x"},
        {"action": "click", "target": None},
        {"action": "click", "target": b"x"},
        {"action": "click", "target": "x", "ordinal": "2"},
        {"action": "click", "target": "x", "ordinal": 2.0},
        {"action": "verify_spatial_text", "target": "next to x", "value": None},
        {"action": "verify_spatial_text", "target": "next to x", "value": 29},
    ],
)
def test_instruction_of_the_wrong_kind(instruction):
    with pytest.raises(TypeError):
        resolve(instruction, [el("x")], [txt("x")])


def test_unread_keys_may_hold_anything():
    assert resolve({"action": "find_text", "target": "x", "ordinal": "n/a", "value": 3}, [], [txt("x")])["resolved"]
    assert resolve({"action": "click", "target": "x", "value": 3}, [el("x")])["resolved"]


@pytest.mark.parametrize(
    "record",
    [
        "not a record",
        {"text": 5},
        {"tag": ["button"], "text": "x"},
        {"text": "x", "attributes": ["class"]},
        {"text": "x", "attributes": {"class": 5}},
        {"text": "x", "attributes": {1: "x"}},
        {"text": "x", "bounding_box": [0, 0, 1, 1]},
        {"text": "x", "bounding_box": {"x": "0", "y": 0}},
    ],
)
def test_element_of_the_wrong_kind(record):
    with pytest.raises(TypeError):
        resolve(step("click", "x"), [record])


def test_null_values_read_as_absent():
    record = {"tag": None, "text": "x", "xpath": None, "attributes": {"class": None, "data-a": None},
              "bounding_box": {"x": None, "y": None}, "is_visible": None}
    result = resolve(step("click", "x"), [record])
    assert result["element"] is record


@pytest.mark.parametrize("elements", [None, "abc", {"text": "x"}, 5])
def test_element_sequence_of_the_wrong_kind(elements):
    with pytest.raises(TypeError):
        resolve(step("click", "x"), elements)


def test_tuples_and_generators_of_records():
    a, b = el("Go", y=5), el("Go")
    assert resolve(step("click", "go"), (a, b))["element"] is b
    assert resolve(step("click", "go"), (r for r in [a, b]))["candidates"] == [b, a]

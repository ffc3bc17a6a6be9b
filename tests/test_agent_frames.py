"""Embedded frames on real Chromium: a card form in a same-origin iframe of
a checkout page, and inside it a bank check from another site (a frame in a
process of its own). Scans read every frame with boxes in the top page's
coordinates; every action and spatial step reaches into them."""

import pytest

from vantle import StepFailed, WebAgent
from vantle.engine.browser.page_scanner import PageScanner

pytestmark = pytest.mark.browser

PAY = "/html[1]/body[1]/iframe[1]"
BANK = PAY + " >> /html[1]/body[1]/iframe[1]"


@pytest.fixture(params=["same-site", "other-site"])
def checkout(request, server, other_site):
    """The checkout page's address; its bank check comes from this server's
    own site or from the other one."""
    bank = (other_site if request.param == "other-site" else server) + "/frames/bank.html"
    return f"{server}/frames/form.html?nested={bank}"


@pytest.fixture(scope="module")
def agent():
    with WebAgent(timeout_ms=2000) as agent:
        yield agent


@pytest.fixture
def at_checkout(agent, checkout):
    agent.run(f"navigate {checkout}")
    return agent


def frame(page, depth):
    f = page.main_frame
    for _ in range(depth):
        f = f.child_frames[0]
    return f


def text_in(page, depth, selector):
    return frame(page, depth).inner_text(selector)


def by_id(records):
    return {r["attributes"].get("id"): r for r in records if r["attributes"].get("id")}


# ---- scanning --------------------------------------------------------------------


@pytest.mark.parametrize("batched", [False, True], ids=["per-element", "batched"])
def test_scan_reads_every_frame_in_top_page_coordinates(page, checkout, other_site, batched):
    page.goto(checkout)
    elements, texts = PageScanner(page, batched=batched).extract_interactable_elements()
    found = by_id(elements)
    expected = {"top-action": (0, None), "email": (0, None), "pay-button": (1, PAY), "card": (1, PAY),
                "month": (1, PAY), "save": (1, PAY), "code": (2, BANK), "confirm": (2, BANK)}
    for ident, (depth, chain) in expected.items():
        record = found[ident]
        assert record["attributes"].get("_frame") == chain, ident
        handle = frame(page, depth).query_selector(f"#{ident}")
        # Where the pointer lands at the record's corners is the element itself.
        box = record["bounding_box"]
        frame(page, depth).evaluate("() => { window.hovered = []; document.onmousemove = e => hovered.push(e.target.id); }")
        for x, y in [(box["x"] + 1, box["y"] + 1), (box["x"] + box["width"] - 1, box["y"] + box["height"] - 1)]:
            page.mouse.move(x, y)
        assert frame(page, depth).evaluate("() => hovered").count(ident) == 2, ident
        # The driver's own box of an element in an out-of-process frame
        # leaves out that frame's border and padding: compared elsewhere only.
        if depth < 2 or other_site not in checkout:
            assert box == pytest.approx(handle.bounding_box(), abs=0.01), ident
    # Records of the top page read as they always have.
    top = found["top-action"]
    assert list(top) == ["tag", "text", "attributes", "bounding_box", "is_visible", "is_enabled", "xpath"]
    assert "_frame" not in top["attributes"] and top["xpath"] == "/html[1]/body[1]/button[1]"
    assert {t["text"] for t in texts} >= {"Top action", "Amount due: $29.00", "Waiting for the bank"}


@pytest.mark.parametrize("batched", [False, True], ids=["per-element", "batched"])
def test_the_same_path_in_two_documents_stays_two_elements(page, checkout, batched):
    page.goto(checkout)
    elements, texts = PageScanner(page, batched=batched).extract_interactable_elements()
    top, framed = by_id(elements)["top-action"], by_id(elements)["pay-button"]
    # Both are the first button of their body; their records keep them apart.
    assert framed["xpath"] == PAY + top["xpath"]
    assert len({e["xpath"] for e in elements}) == len(elements)
    assert len({t["xpath"] for t in texts}) == len(texts)


@pytest.mark.parametrize("batched", [False, True], ids=["per-element", "batched"])
def test_what_the_frame_scrolled_out_of_view_counts_as_hidden(page, checkout, batched):
    page.goto(checkout)
    scan = lambda: PageScanner(page, batched=batched).extract_interactable_elements()  # noqa: E731
    elements, texts = scan()
    terms = [e for e in elements if e["text"] == "Terms"]
    assert [e["is_visible"] for e in terms] == [False]
    assert [t["is_visible"] for t in texts if t["text"].startswith("Fine print")] == [False]
    frame(page, 1).evaluate("() => document.querySelector('a').scrollIntoView()")
    elements, texts = scan()
    shown = {e["attributes"].get("id") or e["text"]: e["is_visible"] for e in elements}
    assert shown["Terms"] is True and shown["card"] is False and shown["top-action"] is True


def test_a_hidden_frame_shows_nothing(page, server):
    page.goto(f"{server}/frames/form.html")
    page.evaluate("() => document.getElementById('pay').style.display = 'none'")
    elements, texts = PageScanner(page, batched=True).extract_interactable_elements()
    assert not [r for r in elements + texts if "_frame" in r["attributes"]]


# ---- acting in frames ----------------------------------------------------------


@pytest.mark.parametrize(
    "steps, depth, selector, expected",
    [
        (['click "Pay"'], 1, "#status", "paid"),
        (['double click "Saved cards"'], 1, "#status", "opened twice"),
        (['right click "Options"'], 1, "#status", "menu opened"),
        (['drag "Chip" to "Wallet"'], 1, "#status", "dropped chip"),
        (['type 1234 into "Bank code"', 'click "Confirm"'], 2, "#verdict", "Confirmed 1234"),
    ],
    ids=["click", "double-click", "right-click", "drag", "nested-type-and-click"],
)
def test_pointer_steps_reach_into_frames(at_checkout, steps, depth, selector, expected):
    for step in steps:
        at_checkout.run(step)
    assert text_in(at_checkout.page, depth, selector) == expected
    assert text_in(at_checkout.page, 0, "#top-status") == "top idle"


def test_form_steps_reach_into_frames(at_checkout):
    agent = at_checkout
    pay = frame(agent.page, 1)
    agent.run('type 4242 into "Card number"')
    assert pay.input_value("#card") == "4242"
    agent.run('select "February" from "Month"')
    assert pay.input_value("#month") == "February"
    assert agent.run('extract text from "Month"') == "February"
    agent.run('check "Save card"')
    assert pay.is_checked("#save")
    agent.run('clear "Card number"')
    assert pay.input_value("#card") == ""
    agent.run('scroll to "Read the terms"')
    assert pay.evaluate("() => scrollY") > 0
    # Scrolled out of the frame's view, the box is still reached.
    agent.run('uncheck "Save card"')
    assert not pay.is_checked("#save")


def test_same_path_in_top_page_and_frame_acts_on_the_one_named(at_checkout):
    agent = at_checkout
    agent.run('click "Top action"')
    assert text_in(agent.page, 0, "#top-status") == "top clicked"
    assert text_in(agent.page, 1, "#status") == "not paid"
    agent.run('click "Pay"')
    assert text_in(agent.page, 1, "#status") == "paid"


@pytest.mark.parametrize(
    "step, result",
    [
        ('verify text "Amount due: $29.00" is present', True),
        ('verify text "Waiting for the bank" is visible', True),
        ('verify "Confirm" is enabled', True),
        ('verify text "Fine print below the frame\'s fold" is visible', False),
    ],
)
def test_checks_read_frame_content(at_checkout, step, result):
    if result:
        assert at_checkout.run(step) is True
    else:
        with pytest.raises(StepFailed):
            at_checkout.run(step)


def test_spatial_steps_cross_the_frame_border(at_checkout):
    agent = at_checkout
    # The caption sits in the top page, the button below it in the card form's frame.
    assert agent.run('click button below "Card details"') == "Pay"
    assert text_in(agent.page, 1, "#status") == "paid"


@pytest.mark.parametrize("site, scale", [("same-site", ""), ("other-site", ""), ("same-site", "0.8")],
                         ids=["same-site", "other-site", "same-site-scaled"])
def test_presses_land_on_the_element_in_a_bordered_frame(agent, server, other_site, site, scale):
    """A frame from another site runs in a process of its own, for which the
    driver leaves the frame element's border and padding out of its boxes.
    Presses still land on the element itself, below the frame's fold too,
    and in a frame drawn scaled."""
    export = (other_site if site == "other-site" else server) + "/frames/export.html"
    agent.run(f"navigate {server}/frames/host.html?src={export}&scale={scale}")
    embedded = frame(agent.page, 1)
    for step, ticked in [('click "download file"', True), ('click "download file"', False),
                         ('check "download file"', True), ('uncheck "download file"', False),
                         ('check "download file"', True), ('check "download file"', True)]:
        agent.run(step)
        assert embedded.is_checked("#dl") is ticked, step
    agent.run('type q3 into "File name"')
    agent.run('click "Export CSV"')
    assert embedded.inner_text("#export-status") == "exported q3 as file"
    # Each press reached the box itself, not its label or the form around it.
    assert embedded.evaluate("() => pressed") == ["dl"] * 5 + ["file-name", "Export CSV"]


@pytest.mark.parametrize("site", ["same-site", "other-site"])
def test_a_drag_in_a_bordered_frame_drops_onto_the_destination(agent, server, other_site, site):
    pay = (other_site if site == "other-site" else server) + "/frames/pay.html"
    agent.run(f"navigate {server}/frames/host.html?src={pay}")
    agent.run('drag "Chip" to "Wallet"')
    assert text_in(agent.page, 1, "#status") == "dropped chip"


# ---- explain and report ----------------------------------------------------------


def test_explain_reads_a_snapshot_with_frame_content(server, other_site, tmp_path, monkeypatch):
    import subprocess
    import sys
    from pathlib import Path

    from vantle import _explain

    monkeypatch.setenv("VANTLE_SAVE_SNAPSHOTS", "1")
    monkeypatch.setenv("VANTLE_LOG_PATH", str(tmp_path))
    with WebAgent(f"{server}/frames/form.html?nested={other_site}/frames/bank.html", timeout_ms=2000) as agent:
        agent.run('click "Confirm"')
    (snapshot,) = tmp_path.glob("*.json")
    for step, ident, chain in [('click "Confirm"', "confirm", BANK), ('click "Top action"', "top-action", None),
                               ('click button below "Card details"', "pay-button", PAY)]:
        explained = _explain.explain(snapshot, step)
        assert explained["element"]["attributes"]["id"] == ident
        assert explained["element"]["attributes"].get("_frame") == chain
    run = subprocess.run([str(Path(sys.executable).parent / "vantle"), "explain", str(snapshot), 'click "Confirm"'],
                         capture_output=True, text=True)
    assert run.returncode == 0, run.stderr
    assert PAY + "/html[1]/body[1]/iframe[1]/html[1]/body[1]/button[1]" in run.stdout


@pytest.mark.parametrize("site", ["same-site", "other-site"])
def test_table_steps_read_rows_inside_a_frame(agent, server, other_site, site):
    rows = (other_site if site == "other-site" else server) + "/frames/rows.html"
    agent.run(f"navigate {server}/frames/ledger.html?rows={rows}")
    assert agent.run('extract text in row "Order 7" under "Status"') == "Paid"
    assert agent.run('verify text in row 2 under "Total" is $12.50') is True
    agent.run('click "Open" in row "Order 8"')
    assert text_in(agent.page, 1, "#said") == "opened order 8"

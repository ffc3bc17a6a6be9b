"""The batched scan gives the records of the element-by-element scan: same
records, same order, same keys; boxes within 0.01 px."""

import math
import os
import random

import pytest

import vantle.settings as settings
from vantle.engine.browser import page_scanner
from vantle.engine.browser.page_scanner import PageScanner

pytestmark = pytest.mark.browser

PAGES = ["controls", "labels", "spatial", "text", "pointer", "custom", "frames", "broken-pointer", "states", "shadow"]


def assert_same_records(expected, actual, where=""):
    assert type(actual) is type(expected), where
    if isinstance(expected, dict):
        assert list(actual) == list(expected), where
        for key in expected:
            assert_same_records(expected[key], actual[key], f"{where}.{key}")
    elif isinstance(expected, list):
        assert len(actual) == len(expected), f"{where}: {len(actual)} records instead of {len(expected)}"
        for i, (e, a) in enumerate(zip(expected, actual)):
            assert_same_records(e, a, f"{where}[{i}]")
    elif isinstance(expected, float):
        assert math.isclose(actual, expected, abs_tol=0.01), f"{where}: {actual} != {expected}"
    else:
        assert actual == expected, f"{where}: {actual!r} != {expected!r}"


def compare(page):
    slow = PageScanner(page).extract_interactable_elements()
    fast = PageScanner(page, batched=True).extract_interactable_elements()
    assert_same_records(slow[0], fast[0], "elements")
    assert_same_records(slow[1], fast[1], "text_elements")
    return fast


@pytest.mark.parametrize("name", PAGES)
def test_batched_scan_of_each_test_page(open_page, name):
    elements, texts = compare(open_page(f"scanner/{name}.html"))
    assert elements or texts


@pytest.mark.parametrize("bank_site", ["same", "other"])
def test_batched_scan_of_nested_frames(page, server, other_site, bank_site):
    bank = (other_site if bank_site == "other" else server) + "/frames/bank.html"
    page.goto(f"{server}/frames/form.html?nested={bank}")
    elements, texts = compare(page)
    assert {e["attributes"].get("_frame") for e in elements + texts} == {
        None, "/html[1]/body[1]/iframe[1]", "/html[1]/body[1]/iframe[1] >> /html[1]/body[1]/iframe[1]"}
    # Scrolled inside the frame, part of it leaves the frame's view.
    page.main_frame.child_frames[0].evaluate("() => scrollTo(0, 100)")
    elements, _ = compare(page)
    assert {e["is_visible"] for e in elements if e["attributes"].get("_frame")} == {True, False}


@pytest.mark.parametrize("name", ["filters", "icons", "headings"])
def test_batched_scan_of_realistic_pages(open_page, name):
    compare(open_page(f"realistic/{name}.html"))


@pytest.mark.parametrize("html", [
    # a control named "attributes" hides the form's own attribute list
    '<form id="f" data-testid="signup" data-step="2"><input name="attributes" aria-label="A"><button>Go</button></form>',
    # a name given twice in other namespaces: the plain attribute is the one read
    '<button id="b" data-testid="x">Go</button><script>const b = document.getElementById("b");'
    'b.setAttributeNS("urn:a", "title", "first"); b.setAttributeNS(null, "title", "second"); b.setAttributeNS("urn:b", "class", "c");'
    'b.setAttributeNS(null, "ID", "upper"); b.setAttribute("data-late", "y");</script>',
    '<p id="p" class="c" data-a="1" data-b="" href="h" aria-label="L">Words <span data-s="s">and more</span></p>',
])
def test_batched_scan_reads_attributes_as_the_driver_does(page, html):
    page.set_content(html)
    elements, texts = compare(page)
    assert any(r["attributes"] for r in elements + texts)
    assert all(r["attributes"].get("title", "first") == "first" for r in elements)


def controls_page(count, seed, shadow=True):
    """A page of about `count` controls mixing the cases where the browser's
    own notion of visible, enabled, text and box is easy to get wrong; with
    shadow=False its shadow hosts stay empty (the scan then takes its other
    way of finding elements)."""
    rng = random.Random(seed)
    makers = [
        lambda i: f"<button id='b{i}'>Button {i}</button>",
        lambda i: f"<button style='transform: rotate({rng.randint(1, 80)}deg) scale(1.3)'>Turned {i}</button>",
        lambda i: f"<div style='transform: scale(0.{rng.randint(3, 9)})'><a href='#{i}'>Scaled {i}</a></div>",
        lambda i: f"<div style='zoom: 1.5'><button>Zoomed {i}</button></div>",
        lambda i: f"<p style='width: 120px'>Lead <a href='#w{i}'>a link whose words wrap across two lines {i}</a> end</p>",
        lambda i: f"<button style='visibility: hidden'>Hidden {i}</button>",
        lambda i: f"<button style='visibility: hidden' title='Titled {i}'>x</button>",
        lambda i: f"<button style='display: none' aria-label='None {i}'>n</button>",
        lambda i: f"<button style='opacity: 0'>Clear {i}</button>",
        lambda i: f"<fieldset disabled><legend><button>In legend {i}</button></legend><button>Fenced {i}</button>"
                  f"<input placeholder='Fenced field {i}'></fieldset>",
        lambda i: f"<fieldset disabled><legend>L</legend><legend><button>Second legend {i}</button></legend></fieldset>",
        lambda i: f"<div role='button' aria-disabled='true'>Aria off {i}</div>",
        lambda i: f"<div aria-disabled='true'><span role='checkbox'>Inherited {i}</span><a href='#'>Link {i}</a></div>",
        lambda i: f"<a aria-disabled='true' data-testid='anchor{i}'>No href {i}</a>",
        lambda i: f"<div aria-disabled='true'><div aria-disabled='false'><button role='switch'>Reenabled {i}</button></div></div>",
        lambda i: f"<label for='dis{i}'><span data-testid='ls{i}'>Label span {i}</span></label><input id='dis{i}' disabled>",
        lambda i: f"<button disabled><span data-testid='inner{i}'>Inner {i}</span></button>",
        lambda i: f"<select><optgroup label='g' disabled><option>Opt {i}</option></optgroup></select>",
        lambda i: f"<div role='option' aria-disabled='TRUE'>Option {i}</div>",
        lambda i: f"<div style='display: contents' role='button'><span>Contents {i}</span></div>",
        lambda i: f"<div style='display: contents' role='link'></div>",
        lambda i: f"<svg data-testid='svg{i}' width='20' height='20'><a href='#s'><text y='10'>S</text></a></svg>",
        lambda i: f"<details><summary>More {i}</summary><button>Inside details {i}</button></details>",
        lambda i: f"<ul style='cursor: pointer'><li>Pointer item {i}</li><li><span>Nested {i}</span></li></ul>",
        lambda i: f"<div style='cursor: pointer; padding: 2.3px'>Card {i}<span> extra</span></div>",
        lambda i: f"<input aria-label='  Aria {i} '>",
        lambda i: f"<span id='ref{i}'>Ref {i}</span><input aria-labelledby='ref{i}'>",
        lambda i: f"<input aria-labelledby='9bad{i}' placeholder='Fallback {i}'>",
        lambda i: f"<label for='f{i}'>Label {i}</label><input id='f{i}'>",
        lambda i: f"<input title='Title {i}'>",
        lambda i: f"<span>Sibling {i}</span><textarea></textarea>",
        lambda i: f"<div><section><em></em><b>Parent {i}</b></section><select><option>Pick</option></select></div>",
        lambda i: f"<div class='rich-editable' contenteditable>Editable {i}</div>",
        lambda i: f"<span class='fake-input' data-row='{i}' title='Amount {i}'>{i}</span>",
        lambda i: f"<input type='hidden' value='h{i}'><input value='Value {i}'>",
        lambda i: f"<div inert><button>Inert {i}</button></div>",
        lambda i: f"<h3>Heading {i}</h3><table><tr><th>Key</th><td>Value {i}</td></tr></table>",
        lambda i: f"<div style='height: 40.5px'>Tall {i}</div><div style='height: 40px'>Exact {i}</div>",
        lambda i: f"<img alt='Image {i}' width='10' height='10' src='data:image/gif;base64,R0lGODlhAQABAAAAACw='>",
        lambda i: f"<div data-testid='host{i}' class='shadow-host'></div>",
        lambda i: f"<div style='position: fixed; right: 0; top: {i % 300}px'><button>Fixed {i}</button></div>",
        lambda i: f"<div style='overflow: hidden; height: 10px'><button>Clipped {i}</button></div>",
        # the first of two labels for one id names a field that has no labels of its own
        lambda i: f"<label for='twice{i}'>First {i}</label><label for='twice{i}'>Second {i}</label>"
                  f"<span class='fake-input' id='twice{i}' title='t'>{i}</span>",
        lambda i: f"<label for='both{i}'>One {i}</label><label for='both{i}'>Two {i}</label><input id='both{i}'>",
        # sources without words: a later source may still be the one taken
        lambda i: f"<input aria-label='\u2003' placeholder='\u2014' title='Dash {i}'>",
        lambda i: f"<span>*</span><input aria-label=' ' placeholder='Starred {i}'>",
    ]
    parts = ["<!doctype html><html><head><meta charset='utf-8'><style>",
             "body { font: 14px/1.3 sans-serif; margin: 6px; } section { margin: 4px 0; }",
             "</style></head><body><h1>Differential page</h1>"]
    for i in range(count):
        if i % 12 == 0:
            parts.append(f"<section><h2>Group {i // 12}</h2>")
        parts.append(makers[(i + seed) % len(makers)](i) if i < len(makers) else rng.choice(makers)(i))
        if i % 12 == 11:
            parts.append("</section>")
    if not shadow:
        parts.append("</section></body></html>")
        return "".join(parts)
    parts.append("""</section><script>
      for (const host of document.querySelectorAll('.shadow-host')) {
        const root = host.attachShadow({mode: 'open'});
        root.innerHTML = '<button>Shadow ' + host.dataset.testid + '</button><span>Shadow text</span>'
          + '<div style="cursor: pointer">Shadow card</div><div class="inner"><b slot="s">Slotted</b></div>';
        // A shadow root inside a shadow root, showing its light child through a slot.
        root.querySelector('.inner').attachShadow({mode: 'open'}).innerHTML =
          '<input aria-label="Nested ' + host.dataset.testid + '"><slot name="s"></slot>';
      }
    </script></body></html>""")
    return "".join(parts)


# The element-by-element scan of 400 controls takes minutes on a busy machine.
LONG = pytest.mark.skipif(not os.environ.get("VANTLE_SLOW_TESTS"), reason="set VANTLE_SLOW_TESTS=1 to run")


@pytest.mark.parametrize("count, seed, shadow", [(100, 1, True), (100, 3, True), (100, 5, False),
                                                pytest.param(400, 2, True, marks=LONG)])
def test_batched_scan_of_generated_pages(page, count, seed, shadow):
    page.set_content(controls_page(count, seed, shadow))
    page.mouse.wheel(0, 300)  # scrolled: part of the page is above the viewport
    page.wait_for_function("window.scrollY > 0")
    elements, texts = compare(page)
    assert len(elements) > count // 2 and texts
    assert any(not e["is_enabled"] for e in elements) and any(not e["is_visible"] for e in elements)
    assert any(e["bounding_box"]["y"] < 0 for e in elements)  # above the viewport
    assert any(e["bounding_box"]["y"] > 720 for e in elements)  # below the fold
    assert any(e["attributes"].get("aria-label", "").startswith("Nested host") for e in elements) == shadow
    labels = [e["attributes"].get("_label") or "" for e in elements]
    for taken in ("First ", "One ", "\u2014", "Starred "):  # every label case made it onto the page
        assert any(label.startswith(taken) for label in labels), taken


def test_batched_scan_makes_one_browser_call(open_page):
    page = open_page("scanner/labels.html")
    calls = []

    class Counting:
        def __getattr__(self, name):
            calls.append(name)
            return getattr(page, name)

    PageScanner(Counting(), batched=True).extract_interactable_elements()
    # main_frame is the driver client's own record of the frames: no browser call.
    assert [c for c in calls if c != "main_frame"] == ["evaluate"]


def test_batched_scan_makes_one_in_page_call_per_frame(page, server, other_site, monkeypatch):
    from playwright.sync_api import ElementHandle, Frame, Page

    page.goto(f"{server}/frames/form.html?nested={other_site}/frames/bank.html")
    calls = []
    for kind in (Page, Frame, ElementHandle):
        def counted(self, *args, _real=kind.evaluate, _kind=kind.__name__, **kwargs):
            calls.append(_kind)
            return _real(self, *args, **kwargs)
        monkeypatch.setattr(kind, "evaluate", counted)
    PageScanner(page, batched=True).extract_interactable_elements()
    assert calls == ["Page", "Frame", "Frame"]


def test_scan_mode_setting(open_page, monkeypatch):
    page = open_page("scanner/controls.html")
    calls = []

    class Counting:
        def __getattr__(self, name):
            calls.append(name)
            return getattr(page, name)

    monkeypatch.delenv("VANTLE_SCAN_MODE", raising=False)
    assert settings.SCAN_MODE == "batched"
    batched = page_scanner.scan_page(Counting())
    assert [c for c in calls if c != "main_frame"] == ["evaluate"]
    monkeypatch.setenv("VANTLE_SCAN_MODE", "per-element")
    calls.clear()
    assert_same_records(batched, page_scanner.scan_page(Counting()))
    assert calls.count("query_selector_all") == 4  # controls, custom inputs, label candidates, texts
    monkeypatch.setenv("VANTLE_SCAN_MODE", "sideways")
    with pytest.raises(ValueError, match="VANTLE_SCAN_MODE"):
        page_scanner.scan_page(page)


def test_shadow_roots_nested_and_slotted_content_in_document_order(open_page):
    elements, texts = compare(open_page("scanner/shadow.html"))
    names = [e["attributes"].get("aria-label") or e["text"] for e in elements]
    for inside in ("Shadow sign in", "Nested action", "Card own button"):
        assert inside in names
    # Slots show the light children in another order; records keep the document's.
    assert names.index("Slotted first in the document") < names.index("Slotted second in the document")
    assert names.index("Before the widgets") < names.index("Shadow sign in") < names.index("After the widgets")
    shadow_field = next(e for e in elements if e["attributes"].get("id") == "user")
    assert shadow_field["attributes"].get("_label") == "Shadow user"
    assert {"Nested text", "Shadow heading"} <= {t["text"] for t in texts}


def test_a_scan_kept_in_the_page_reads_the_page_anew_each_time(open_page):
    page = open_page("scanner/labels.html")
    before = compare(page)
    page.evaluate("""() => document.body.insertAdjacentHTML('afterbegin',
        "<label for='late'>Late field</label><input id='late'>")""")
    after = compare(page)
    assert len(after[0]) == len(before[0]) + 1
    assert after[0][0]["attributes"]["_label"] == "Late field"
    named = lambda records: [(e["text"], e["attributes"].get("_label")) for e in records]  # noqa: E731
    assert named(after[0][1:]) == named(before[0])


@pytest.mark.parametrize("cut", ["\\ud83d", "\\ude00", "x\\ud83d"])
def test_text_cut_inside_a_character_is_scanned_with_a_replacement_character(page, cut):
    # A script that slices an emoji in half leaves a lone surrogate in the page.
    page.set_content("<button id=b>Save</button><p id=p></p><input id=i aria-label=Note>")
    page.evaluate(f"""() => {{
        document.getElementById('p').textContent = 'Total {cut} due';
        document.getElementById('b').title = 'Keep {cut}';
    }}""")
    elements, texts = PageScanner(page, batched=True).extract_interactable_elements()
    assert "Total \ufffd due" in [t["text"] for t in texts] or "Total x\ufffd due" in [t["text"] for t in texts]
    button = next(e for e in elements if e["text"] == "Save")
    assert button["attributes"]["title"].endswith("\ufffd")
    assert next(e for e in elements if e["tag"] == "input")["attributes"]["aria-label"] == "Note"

"""A scan answered from memory gives exactly the records a fresh scan reads.

The page keeps watch after each batched scan; the next scan reuses the last
records only when the watch saw nothing that could change them. Every check
here compares the reusing scan with a fresh batched scan of the same page
state (itself proven equal to the element-by-element scan elsewhere)."""

import pytest

from test_page_scanner_batched import PAGES, assert_same_records, controls_page
from vantle.engine.browser.page_scanner import PageScanner, _ScanMemo

pytestmark = pytest.mark.browser


def same_as_fresh(memo, page):
    """Scans through the memo; asserts the records equal a fresh scan; returns whether they were reused."""
    reused = memo.reused
    kept = memo.scan(page)
    fresh = PageScanner(page, batched=True).extract_interactable_elements()
    assert_same_records(fresh[0], kept[0], "elements")
    assert_same_records(fresh[1], kept[1], "text_elements")
    return memo.reused > reused


def watched(page):
    """A memo that has scanned the page, with the pointer out of the way, and
    reuses that scan while nothing changes."""
    page.mouse.move(1200, 700)
    memo = _ScanMemo()
    same_as_fresh(memo, page)
    assert same_as_fresh(memo, page), "an unchanged page is scanned again"
    return memo


def poke(page):
    """Things a step does to a page, one after another: each yields its name once done."""
    yield "nothing"
    for selector in ("button", "a", "input", "[role=button]", "label", "select", "h1, h2, p"):
        handles = page.query_selector_all(selector)
        for handle in handles[:3]:
            try:
                handle.hover(timeout=1000)
            except Exception:  # hidden or covered: the scan must still agree
                pass
            yield f"hover {selector}"
            try:
                handle.click(timeout=1000)
            except Exception:
                pass
            page.wait_for_load_state()
            yield f"click {selector}"
    page.mouse.wheel(0, 300)
    page.wait_for_timeout(50)
    yield "wheel"
    page.evaluate("window.scrollTo(0, 0)")
    yield "scroll back"
    page.set_viewport_size({"width": 900, "height": 600})
    yield "resize"
    page.keyboard.press("Tab")
    yield "tab"


@pytest.mark.parametrize("name", PAGES)
def test_reused_scans_equal_fresh_ones_on_each_test_page(open_page, name):
    page = open_page(f"scanner/{name}.html")
    memo = _ScanMemo()
    same_as_fresh(memo, page)
    outcomes = {}
    for what in poke(page):
        outcomes[what] = same_as_fresh(memo, page)
    # The fast path was taken: a scan right after a scan of an unchanged page.
    assert outcomes["nothing"]
    assert memo.reused >= 1


@pytest.mark.parametrize("seed", range(3))
def test_reused_scans_equal_fresh_ones_on_generated_pages(page, seed):
    page.set_content(controls_page(150, seed))
    memo = _ScanMemo()
    same_as_fresh(memo, page)
    for _ in poke(page):
        same_as_fresh(memo, page)
    assert memo.reused >= 1


PAGE = """<!doctype html><html><head><style>
  #menu { display: none } #host:hover #menu { display: block }
  #box { height: 60px; overflow: auto } #tall { height: 400px }
  %s
</style></head><body>
  <div id="host"><button>Products</button><div id="menu"><a href="#l">Laptops</a></div></div>
  <input type="checkbox" id="c"><label for="c">Gift wrap</label><p id="note">Wrapped</p>
  <select id="s"><option>Peru</option><option>Chile</option></select>
  <div id="box"><div id="tall"><button>Deep</button></div></div>
  <div id="shadow"></div><button id="plain">Plain</button>
  <div style="height: 2000px"></div>
  <script>document.getElementById('shadow').attachShadow({mode: 'open'}).innerHTML = '<button>Inside</button>'</script>
</body></html>"""

CHANGES = {
    "text": lambda p: p.evaluate("document.getElementById('note').textContent = 'Unwrapped'"),
    "attribute": lambda p: p.evaluate("document.getElementById('plain').setAttribute('disabled', '')"),
    "shadow tree": lambda p: p.evaluate(
        "document.getElementById('shadow').shadowRoot.querySelector('button').textContent = 'Changed'"),
    "window scroll": lambda p: p.evaluate("window.scrollTo(0, 500)"),
    "inner scroll": lambda p: p.evaluate("document.getElementById('box').scrollTop = 200"),
    "viewport": lambda p: p.set_viewport_size({"width": 700, "height": 500}),
    "hover menu": lambda p: p.hover("text=Products"),
    "drop-down": lambda p: p.select_option("#s", "Chile"),
    "drop-down set by a script": lambda p: p.evaluate("document.getElementById('s').selectedIndex = 1"),
    "navigation": lambda p: p.goto(p.url),
}


@pytest.mark.parametrize("change", sorted(CHANGES))
def test_a_change_that_can_alter_records_forces_a_fresh_scan(page, server, change):
    page.goto(f"{server}/scanner/controls.html")
    page.set_content(PAGE % "")
    memo = watched(page)
    CHANGES[change](page)
    assert not same_as_fresh(memo, page)


TICK_PAGE = """<!doctype html><html><head><style>%s</style></head><body>
  <input type="checkbox" id="c"><label for="c">Gift wrap</label>
  <input type="radio" name="ship" id="post" checked><label for="post">Post</label>
  <input type="radio" name="ship" id="pick"><label for="pick">Pick up</label>
  <div id="shadow"></div><p id="note">Wrapped</p>
  <script>document.getElementById('shadow').attachShadow({mode: 'open'}).innerHTML =
    '<input type="checkbox" id="inner">'</script>
</body></html>"""

TICKS = {
    "check box": ("", "#c", True),
    "radio button (its group changes too)": ("", "#pick", True),
    "box read by a :checked rule": ("input:checked + label { display: none }", "#c", False),
    "box read by a :has() rule": ("p:has(~ #c:checked) { color: red }", "#c", False),
    "box in a shadow tree": ("", "#shadow >> #inner", False),
    "box whose handler changes the page": ("", "#c", False),
}


@pytest.mark.parametrize("case", sorted(TICKS))
def test_ticking_a_box_mends_its_records_or_forces_a_fresh_scan(page, case):
    style, box, mended = TICKS[case]
    page.set_content(TICK_PAGE % style)
    if case.startswith("box whose handler"):
        page.evaluate("document.getElementById('c').onchange = () => note.textContent = 'Unwrapped'")
    memo = watched(page)
    page.locator(box).evaluate("el => el.click()")
    # The mended records equal a fresh scan's either way; only the cost differs.
    assert same_as_fresh(memo, page) is mended
    assert memo.ticks == (1 if mended else 0)
    assert same_as_fresh(memo, page), "the scan after the mended one is reused"


@pytest.mark.parametrize("box, mended", [("#c", True), ("#pick", True), ("#shadow >> #inner", False)],
                         ids=["check box", "radio button", "box in a shadow tree"])
def test_a_box_ticked_by_a_script_is_seen_though_no_event_fires(page, box, mended):
    page.set_content(TICK_PAGE % "")
    memo = watched(page)
    page.locator(box).evaluate("el => { el.checked = !el.checked }")
    assert same_as_fresh(memo, page) is mended
    assert memo.ticks == (1 if mended else 0)


def test_a_box_ticked_in_a_frame_is_mended_in_that_frame(page, server, other_site):
    page.goto(f"{server}/frames/form.html?nested={other_site}/frames/bank.html")
    memo = watched(page)
    framed(page, 1).evaluate("document.getElementById('save').click()")
    assert same_as_fresh(memo, page)
    assert memo.ticks == 1
    saved = [e for e in memo.scan(page)[0] if e["attributes"].get("name") == "save"]
    assert [e["attributes"]["_checked"] for e in saved] == ["true"]


def test_a_page_with_a_running_animation_is_always_scanned_afresh(page):
    page.set_content("<style>@keyframes s { to { transform: translateX(200px) } }"
                     "b { display: inline-block; animation: s 9s linear infinite }</style>"
                     "<b><button>Moving</button></b>")
    memo = _ScanMemo()
    memo.scan(page)
    first = memo.scan(page)[0][0]["bounding_box"]["x"]
    page.wait_for_timeout(100)
    # Records of a moving page are never reused (and would differ from a fresh scan).
    assert memo.scan(page)[0][0]["bounding_box"]["x"] != first
    assert (memo.scans, memo.reused) == (3, 0)


def test_scans_in_the_element_by_element_mode_never_reuse(page, monkeypatch):
    import vantle.settings

    monkeypatch.setattr(vantle.settings, "SCAN_MODE", "per-element", raising=False)
    page.set_content(PAGE % "")
    memo = _ScanMemo()
    memo.scan(page)
    memo.scan(page)
    assert (memo.scans, memo.reused) == (2, 0)


def test_two_scanners_of_one_page_keep_their_own_watch(page):
    page.set_content(PAGE % "")
    first, second = _ScanMemo(), _ScanMemo()
    first.scan(page)
    second.scan(page)
    assert same_as_fresh(first, page) and same_as_fresh(second, page)


def test_an_agent_step_that_changes_nothing_leaves_the_scan_reusable(page, tmp_path):
    from vantle import WebAgent

    (tmp_path / "p.html").write_text(PAGE % "", encoding="utf-8")
    with WebAgent((tmp_path / "p.html").as_uri()) as agent:
        memo = _ScanMemo()
        agent.run('click "Plain"')
        same_as_fresh(memo, agent.page)
        agent.run('click "Plain"')
        agent.run('verify "Plain" is visible')
        assert same_as_fresh(memo, agent.page)
        agent.run('click "Products"')  # moves the pointer onto a menu that opens on hover
        assert not same_as_fresh(memo, agent.page)
        agent.run('click "Laptops"')


def framed(page, depth):
    frame = page.main_frame
    for _ in range(depth):
        frame = frame.child_frames[0]
    return frame


TWO_FRAMES = "() => new Promise(done => requestAnimationFrame(() => requestAnimationFrame(done)))"

FRAME_CHANGES = {
    "text in the frame": lambda p: framed(p, 1).evaluate("document.getElementById('status').textContent = 'paid'"),
    "text in the nested frame": lambda p: framed(p, 2).evaluate(
        "document.getElementById('verdict').textContent = 'Confirmed'"),
    "scroll in the frame": lambda p: framed(p, 1).evaluate("scrollTo(0, 100)"),
    "frame navigates": lambda p: framed(p, 2).goto(framed(p, 2).url.replace("bank.html", "pay.html")),
    # The frame hears of its new size a frame later: the change is done once it has.
    "frame resized": lambda p: (p.evaluate("document.getElementById('pay').style.height = '200px'"),
                                framed(p, 1).evaluate(TWO_FRAMES)),
}


@pytest.mark.parametrize("change", sorted(FRAME_CHANGES))
def test_a_change_inside_a_frame_is_never_missed(page, server, other_site, change):
    page.goto(f"{server}/frames/form.html?nested={other_site}/frames/bank.html")
    memo = watched(page)
    FRAME_CHANGES[change](page)
    assert not same_as_fresh(memo, page)
    assert same_as_fresh(memo, page)


def test_a_frame_added_to_a_watched_page_is_read(page):
    page.set_content(PAGE % "")
    memo = _ScanMemo()
    same_as_fresh(memo, page)
    page.evaluate("""() => new Promise(done => {
        const frame = document.createElement('iframe');
        frame.srcdoc = '<button>Late arrival</button>';
        frame.onload = done;
        document.body.prepend(frame);
    })""")
    assert not same_as_fresh(memo, page)
    assert "Late arrival" in [e["text"] for e in memo.scan(page)[0]]


MOVING_PAGE = """<!doctype html><html><body>
<span style="position:absolute;left:60px;top:20px">Alpha</span>
<span style="position:absolute;left:60px;top:80px">Beta</span>
<input type="checkbox" id="one" aria-label="first box" style="position:absolute;left:20px;top:20px">
<input type="checkbox" id="two" aria-label="second box" style="position:absolute;left:20px;top:80px">
<p id="status" style="position:absolute;left:20px;top:140px">Draft</p>
</body></html>"""


def test_steps_after_a_change_read_the_changed_page_not_the_records_kept_for_the_last(tmp_path):
    """The agent keeps what it read of an unchanged page for the next step;
    a box moved or a text rewritten must still be seen by the very next step."""
    from vantle import WebAgent

    (tmp_path / "p.html").write_text(MOVING_PAGE, encoding="utf-8")
    with WebAgent((tmp_path / "p.html").as_uri()) as agent:
        agent.run('verify checkbox left of "Alpha" is enabled')
        agent.run('verify "Draft" is present')
        agent.page.evaluate("""() => {
            document.getElementById('one').style.top = '80px';
            document.getElementById('two').style.top = '20px';
            document.getElementById('status').textContent = 'Saved';
        }""")
        agent.run('click checkbox left of "Alpha"')
        agent.run('verify "second box" is checked')
        agent.run('verify "first box" is not checked')
        agent.run('verify "Saved" is present')
        agent.run('verify "Draft" is not present')
        agent.page.evaluate("document.getElementById('two').checked = false")  # a script's tick fires no event
        agent.run('verify "second box" is not checked')
        # a tick changes a record but moves nothing: what is found by place must read the tick
        for state in ("checked", "not checked", "checked"):
            agent.run('click checkbox left of "Beta"')
            agent.run(f'verify checkbox left of "Beta" is {state}')
            agent.run(f'verify "first box" is {state}')

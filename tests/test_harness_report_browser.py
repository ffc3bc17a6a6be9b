"""The HTML report as a person uses it, in Chromium: filters, collapsing
groups, opening steps, screenshots, and hostile text staying text."""

import base64
import os
import subprocess
import sys
import types

import pytest

from vantle.harness.reporter import VantleReporter

pytestmark = pytest.mark.browser

ODD_FILE = "tests/it's \"odd\" </script>.py"
MARKUP = 'type <b>x</b> into "Name" <img src=x onerror=alert(1)>'


def record(nodeid, status):
    file, _, test = nodeid.partition("::")
    return dict(nodeid=nodeid, file=file, test=test, status=status, duration=0.25, message="", when="call")


@pytest.fixture
def report(page, tmp_path):
    """Opens a generated report holding three file groups."""
    page.set_content("<body style='margin:0;background:#c00;width:200px;height:80px'></body>")
    shot = base64.b64encode(page.screenshot(clip={"x": 0, "y": 0, "width": 200, "height": 80})).decode()
    config = types.SimpleNamespace(
        _vantle_steps={
            "tests/test_login.py::test_ok": [{"instruction": 'click "Log in"', "status": "passed"}],
            "tests/test_login.py::test_broken": [
                {"instruction": MARKUP, "status": "passed"},
                {"instruction": 'verify "Products" is present', "status": "failed", "message": "no <b>Products</b>",
                 "screenshot": shot},
            ],
            f"{ODD_FILE}::test_odd": [{"instruction": "press Enter", "status": "passed"}],
        }
    )
    reporter = VantleReporter(str(tmp_path / "out" / "report.html"), config)
    reporter.results.extend(
        [
            record("tests/test_login.py::test_ok", "passed"),
            record("tests/test_login.py::test_broken", "failed"),
            record("tests/test_cart.py::test_later", "skipped"),
            record(f"{ODD_FILE}::test_odd", "passed"),
        ]
    )
    reporter.pytest_sessionfinish(None, 0)
    dialogs = []
    page.on("dialog", lambda d: (dialogs.append(d.message), d.dismiss()))
    page.goto((tmp_path / "out" / "report.html").as_uri())
    yield page
    assert dialogs == []


def visible_tests(page):
    return [row.inner_text().split("\t")[1] for row in page.locator(".test-row").all() if row.is_visible()]


def visible_groups(page):
    return [g.get_attribute("data-file") for g in page.locator(".file-group").all() if g.is_visible()]


@pytest.mark.parametrize(
    "button, tests, groups",
    [
        ("Failed", ["test_broken"], ["tests/test_login.py"]),
        ("Skipped", ["test_later"], ["tests/test_cart.py"]),
        ("Passed", ["test_ok", "test_odd"], ["tests/test_login.py", ODD_FILE]),
    ],
)
def test_filters_hide_and_show_rows_and_groups(report, button, tests, groups):
    everything = visible_tests(report)
    assert everything == ["test_ok", "test_broken", "test_later", "test_odd"]
    report.get_by_role("button", name="view steps").first.click()
    report.get_by_role("button", name=button, exact=True).click()
    assert visible_tests(report) == tests
    assert visible_groups(report) == groups
    assert [b.inner_text() for b in report.locator(".filter-btn.active").all()] == [button]
    # The open steps of a filtered-out test go with it.
    assert report.locator("#steps-tests\\/test_login\\.py-0").is_visible() == ("test_ok" in tests)
    report.get_by_role("button", name="All", exact=True).click()
    assert visible_tests(report) == everything
    assert len(visible_groups(report)) == 3


def test_group_header_collapses_and_expands(report):
    header = report.locator(".file-header").first
    table = report.locator(".test-table").first
    header.click()
    assert not table.is_visible()
    assert "collapsed" in header.locator(".chevron").get_attribute("class")
    header.click()
    assert table.is_visible()
    assert "collapsed" not in header.locator(".chevron").get_attribute("class")


@pytest.mark.parametrize("test_name", ["test_broken", "test_odd"])
def test_view_and_hide_steps(report, test_name):
    row = report.locator(".test-row", has_text=test_name)
    button = row.locator(".expand-btn")
    steps = row.locator("xpath=following-sibling::tr[1]")
    assert "steps-container" in steps.get_attribute("class") and not steps.is_visible()
    button.click()
    assert steps.is_visible() and button.inner_text() == "hide steps"
    assert "open" in button.get_attribute("class")
    # The click stays on the button: its group does not collapse.
    assert row.is_visible()
    button.click()
    assert not steps.is_visible() and button.inner_text() == "view steps"
    assert "open" not in button.get_attribute("class")


def test_failed_step_shows_screenshot_and_markup_stays_text(report):
    report.locator(".test-row", has_text="test_broken").locator(".expand-btn").click()
    texts = report.locator(".steps-table .step-text")
    assert texts.nth(1).inner_text().startswith(MARKUP)
    assert report.locator(".step-msg").inner_text() == "no <b>Products</b>"
    assert report.locator(".steps-table b, .steps-table img:not(.step-screenshot img)").count() == 0
    image = report.locator(".step-screenshot img")
    assert image.count() == 1
    natural, shown = image.evaluate("i => [i.naturalWidth, i.getBoundingClientRect().width]")
    assert natural == 200 and shown == 320
    assert report.locator(".step-row .icon").all_inner_texts() == ["✓", "✓", "✗", "✓"]
    assert report.title() == "vantle — Test Report"
    assert report.locator(".file-name").all_inner_texts()[-1] == ODD_FILE


# A real run through the plug-in: expected failures, an unexpected pass, a
# plain assertion after passing steps, an unexpected error and a failed step.
SUITE = """
import pytest

@pytest.mark.xfail(reason="known <b>bug</b> 42")
def test_expected_failure():
    assert False

@pytest.mark.xfail(reason="fixed since")
def test_unexpected_pass():
    pass

def test_assertion_after_steps(agent):
    agent.run('verify text "Ready" is present')
    agent.run("wait 1000")
    agent.run('verify text "Ready" is present')
    total = 2 + 2
    assert total == 5, "the total is off"

def test_unexpected_error(agent):
    {}["missing key"]

def test_failed_step(agent):
    agent.run('click "Nowhere to be found"')
"""


@pytest.fixture(scope="module")
def real_report_file(tmp_path_factory):
    """The report of one real run of SUITE, made once for the tests below."""
    root = tmp_path_factory.mktemp("real_run")
    (root / "page.html").write_text("<body style='width:1200px'><p>Ready</p><button>Go</button></body>")
    (root / "vantle.web.config.py").write_text(f"URL = {(root / 'page.html').as_uri()!r}\nTIMEOUT = 1000\n")
    (root / "test_suite.py").write_text(SUITE.strip() + "\n")
    env = {k: v for k, v in os.environ.items() if not k.startswith(("VANTLE_REPORT", "PYTEST_"))}
    run = subprocess.run([sys.executable, "-m", "pytest", "-p", "no:hypothesispytest", "-p", "no:cacheprovider",
                          "--rootdir", str(root)], cwd=root, env=env, capture_output=True, text=True, timeout=240)
    assert "3 failed, 1 xfailed, 1 xpassed" in run.stdout, run.stdout[-3000:]
    return root / "test_report" / "report.html"


@pytest.fixture
def real_report(real_report_file, page):
    page.goto(real_report_file.as_uri())
    return page


def line_of(source):
    """The line number pytester's file gives `source` (it writes the suite stripped)."""
    return [line.strip() for line in SUITE.strip().splitlines()].index(source) + 1


def note_of(page, test):
    return page.locator(".test", has=page.locator(".test-row", has_text=test)).locator(".note-row")


@pytest.mark.parametrize("status, tests", [("xfailed", ["test_expected_failure"]),
                                           ("xpassed", ["test_unexpected_pass"]),
                                           ("failed", ["test_assertion_after_steps", "test_unexpected_error",
                                                       "test_failed_step"])])
def test_expected_failures_have_their_own_status_filter_and_count(real_report, status, tests):
    page = real_report
    cards = dict(zip(page.locator(".card-label").all_inner_texts(), page.locator(".card-value").all_inner_texts()))
    assert (cards["XFAILED"], cards["XPASSED"], cards["PASSED"], cards["PASS RATE"]) == ("1", "1", "0", "0%")
    page.locator(f".filter-btn.{status}").click()
    assert visible_tests(page) == tests
    color = page.locator(f".test-row[data-status={status}] .icon").first.evaluate("e => getComputedStyle(e).color")
    assert color not in ("rgb(29, 29, 31)", "rgb(0, 0, 0)")


def test_the_reason_of_an_expected_failure_is_shown_as_text(real_report):
    assert note_of(real_report, "test_expected_failure").locator(".reason").inner_text() == "reason: known <b>bug</b> 42"
    assert note_of(real_report, "test_unexpected_pass").locator(".reason").inner_text() == "reason: fixed since"


def test_an_assertion_after_passing_steps_says_why_with_the_traceback_folded(real_report):
    note = note_of(real_report, "test_assertion_after_steps")
    assert note.locator(".failure-msg").inner_text().startswith("AssertionError: the total is off")
    source = 'assert total == 5, "the total is off"'
    assert note.locator(".failure-where").inner_text() == f"test_suite.py:{line_of(source)}: {source}"
    traceback = note.locator(".traceback pre")
    assert not traceback.is_visible()
    note.locator(".traceback summary").click()
    assert traceback.is_visible() and "def test_assertion_after_steps(agent):" in traceback.inner_text()
    # No step failed, so the test itself was photographed.
    assert note.locator(".test-shot img").count() == 1


def test_an_unexpected_error_is_named_not_dumped(real_report):
    note = note_of(real_report, "test_unexpected_error")
    assert note.locator(".failure-msg").inner_text() == "KeyError: 'missing key'"
    source = '{}["missing key"]'
    assert note.locator(".failure-where").inner_text() == f"test_suite.py:{line_of(source)}: {source}"
    assert not note.locator(".traceback pre").is_visible()


def test_each_step_has_its_duration_and_a_bar_on_the_timeline(real_report):
    row = real_report.locator(".test-row", has_text="test_assertion_after_steps")
    bars = row.locator(".timeline .bar")
    assert bars.count() == 3
    widths = [b.evaluate("e => e.getBoundingClientRect().width") for b in bars.all()]
    assert widths[1] > 2 * max(widths[0], widths[2])          # the slow step stands out
    assert "wait 1000" in bars.nth(1).get_attribute("title")
    row.locator(".expand-btn").click()
    durations = real_report.locator(".steps-container:visible .step-duration").all_inner_texts()
    assert len(durations) == 3 and float(durations[1].rstrip("s")) >= 1.0


def test_a_screenshot_opens_full_size_and_closes(real_report):
    page = real_report
    page.locator(".test-row", has_text="test_failed_step").locator(".expand-btn").click()
    thumbnail = page.locator(".step-screenshot img")
    natural, shown = thumbnail.evaluate("i => [i.naturalWidth, i.getBoundingClientRect().width]")
    assert shown == 320 and natural > 320
    thumbnail.click()
    enlarged = page.locator("#lightbox img")
    assert enlarged.is_visible()
    assert enlarged.evaluate("i => i.getBoundingClientRect().width") == natural
    page.locator("#lightbox").click(position={"x": 5, "y": 5})
    assert not enlarged.is_visible()

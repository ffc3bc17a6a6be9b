"""The HTML report as a person uses it, in Chromium: filters, collapsing
groups, opening steps, screenshots, and hostile text staying text."""

import base64
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

"""The run's browser options: --headed, --slowmo, --vantle-timeout,
--base-url, --tracing, --video and --screenshot, each with its configuration
key; the command line beats the configuration, which beats the default."""

import re
import zipfile

import pytest

from harness_support import playwright_home
from vantle.harness import fixtures

LEAN = ("-p", "no:hypothesispytest", "-p", "no:cacheprovider")
DEFAULTS = {"HEADED": False, "SLOWMO": 0, "TIMEOUT": 5000, "URL": None, "TRACING": "off", "VIDEO": "off",
            "SCREENSHOT": "only-on-failure"}


@pytest.mark.parametrize(
    "given, configured, changed",
    [
        ({}, {}, {}),
        ({}, {"TRACING": "on", "SLOWMO": 250}, {"TRACING": "on", "SLOWMO": 250}),
        ({"TRACING": "off"}, {"TRACING": "on"}, {}),
        ({"URL": "http://cli.test/"}, {"URL": "http://cfg.test/"}, {"URL": "http://cli.test/"}),
        ({"TIMEOUT": "1500"}, {"TIMEOUT": 9000}, {"TIMEOUT": 1500}),
        ({"HEADED": None}, {"HEADED": True}, {"HEADED": True}),
        ({"SCREENSHOT": None}, {"VIDEO": "retain-on-failure"}, {"VIDEO": "retain-on-failure"}),
        # The older key still speaks, unless the new one is given.
        ({}, {"SCREENSHOTS_ON_FAILURE": False}, {"SCREENSHOT": "off"}),
        ({}, {"SCREENSHOTS_ON_FAILURE": False, "SCREENSHOT": "on"}, {"SCREENSHOT": "on"}),
        ({"SCREENSHOT": "on"}, {"SCREENSHOTS_ON_FAILURE": False}, {"SCREENSHOT": "on"}),
    ],
)
def test_command_line_beats_configuration_beats_default(given, configured, changed):
    assert fixtures._resolve_options(given, configured) == {**DEFAULTS, **changed}


@pytest.mark.parametrize(
    "given, configured, named",
    [
        ({}, {"TRACING": "sometimes"}, "TRACING in vantle.web.config.py"),
        ({"VIDEO": "maybe"}, {}, "--video"),
        ({}, {"SLOWMO": -5}, "SLOWMO in vantle.web.config.py"),
        ({"TIMEOUT": "soon"}, {}, "--vantle-timeout"),
        ({}, {"HEADED": "yes"}, "HEADED in vantle.web.config.py"),
        ({}, {"URL": 42}, "URL in vantle.web.config.py"),
    ],
)
def test_a_bad_value_names_where_it_came_from(given, configured, named):
    with pytest.raises(ValueError, match=re.escape(named)):
        fixtures._resolve_options(given, configured)


def test_every_option_is_in_the_vantle_group(pytester):
    result = pytester.runpytest("--help", *LEAN)
    flags = [flag for flag, _, _ in fixtures._option_specs()]
    assert flags == ["--headed", "--slowmo", "--vantle-timeout", "--base-url", "--tracing", "--video", "--screenshot"]
    text = result.stdout.str()
    vantle_group = text[text.index("vantle:"):]
    assert all(flag in vantle_group for flag in flags)
    assert "{on,off,retain-on-failure}" in vantle_group


def test_a_wrong_choice_stops_the_run(pytester):
    result = pytester.runpytest("--tracing", "always", *LEAN)
    assert result.ret != 0
    assert "invalid choice: 'always'" in result.stderr.str()


TESTS = """
def test_passes(agent):
    agent.run('verify text "Ready" is present')

def test_fails_on_a_plain_assert(agent):
    agent.run('verify text "Ready" is present')
    assert 1 + 1 == 3, "arithmetic is broken"
"""


@pytest.mark.browser
def test_recordings_follow_the_options_and_the_report_links_them(pytester, monkeypatch, tmp_path):
    monkeypatch.setenv("PLAYWRIGHT_BROWSERS_PATH", str(playwright_home(tmp_path / "ms-playwright")))
    page = pytester.path / "page.html"
    page.write_text("<p>Ready</p>")
    # The configuration asks for traces of every test; the command line narrows it.
    pytester.makefile(".web.config.py", vantle="URL = 'http://unused.test/'\nTRACING = 'on'\nSCREENSHOT = 'on'\n")
    pytester.makepyfile(test_runs=TESTS)
    result = pytester.runpytest_subprocess(
        "--base-url", page.as_uri(), "--tracing", "retain-on-failure", "--video", "on", "--slowmo", "1",
        "--vantle-timeout", "2000", *LEAN, timeout=240)
    result.assert_outcomes(passed=1, failed=1)
    report = pytester.path / "test_report"
    traces = sorted(p.name for p in (report / "traces").glob("*.zip"))
    assert len(traces) == 1 and traces[0].startswith("test_runs.py-test_fails_on_a_plain_assert-")
    # What `playwright show-trace` opens: a zip holding the trace and its page snapshots.
    assert any(n.endswith(".trace") for n in zipfile.ZipFile(report / "traces" / traces[0]).namelist())
    videos = sorted(p.name for p in (report / "videos").glob("*.webm"))
    assert len(videos) == 2 and all((report / "videos" / v).stat().st_size > 0 for v in videos)
    html = (report / "report.html").read_text(encoding="utf-8")
    assert f'href="traces/{traces[0]}"' in html
    assert all(f'href="videos/{v}"' in html for v in videos)
    # --screenshot on: each test ends with a picture of its page.
    assert html.count('class="test-shot"') == 2
    assert "arithmetic is broken" in html


@pytest.mark.browser
def test_headed_asks_for_a_window(pytester, monkeypatch):
    monkeypatch.delenv("DISPLAY", raising=False)
    monkeypatch.delenv("WAYLAND_DISPLAY", raising=False)
    pytester.makepyfile("def test_page(agent):\n    pass\n")
    result = pytester.runpytest_subprocess("--headed", *LEAN, timeout=120)
    result.assert_outcomes(errors=1)
    assert re.search(r"headed browser without having a XServer|Missing X server|DISPLAY", result.stdout.str())

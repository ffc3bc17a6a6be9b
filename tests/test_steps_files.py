"""Plain-English test files (test_*.steps) collected and run by pytest."""

import html
import json

import pytest

from vantle import _steps

LEAN = ["-p", "no:cacheprovider", "-p", "no:xdist", "-p", "no:randomly"]


def read(tmp_path, content, name="test_file.steps"):
    path = tmp_path / name
    path.write_bytes(content.encode())
    return _steps.read_tests(str(path), name, path.stem)


class TestReading:
    def test_a_file_without_headings_is_one_test_named_after_it(self, tmp_path):
        (test,) = read(tmp_path, '# sign in\n\n  click "Log in"  \r\n### not a heading\nwait 10')
        assert (test["name"], test["line"], test["issues"]) == ("test_file", 1, "")
        assert test["steps"] == [(3, 'click "Log in"'), (5, "wait 10")]

    def test_headings_start_tests_and_keep_file_line_numbers(self, tmp_path):
        tests = read(tmp_path, '## Signs in\nclick "Log in"\n\n##Checks the cart  \n# note\nwait 10\rwait 20\n')
        assert [(t["name"], t["line"], t["steps"]) for t in tests] == [
            ("Signs in", 1, [(2, 'click "Log in"')]),
            ("Checks the cart", 4, [(6, "wait 10"), (7, "wait 20")]),
        ]

    @pytest.mark.parametrize("content, issues", [
        ('click "Log in\ntype x\n', [
            "test_file.steps:1: Unbalanced quote — missing closing `\"` in: 'click \"Log in'",
            "test_file.steps:2: `type` instruction missing `into` keyword. Expected: type <text> into <target>",
        ]),
        ("# only a comment\n", ["test_file.steps:1: The file holds no instructions."]),
        ('wait 10\n## A\nwait 20\n', [
            "test_file.steps:1: Instruction before the first '## <test name>' line belongs to no test."]),
        ('## A\nwait 10\n##\nwait 20\n## a\nwait 30\n## B\n', [
            "test_file.steps:3: Test name missing after '##'.",
            "test_file.steps:5: Test name 'a' is used twice in this file.",
            "test_file.steps:7: Test 'B' has no instructions.",
        ]),
    ])
    def test_issues_are_listed_by_line_and_shared_by_every_test_of_the_file(self, tmp_path, content, issues):
        tests = read(tmp_path, content)
        assert {t["issues"] for t in tests} == {"\n".join(issues)}


DOUBLE = """
import html
import json
import vantle

made = []


class RecordingAgent:
    '''Stands in for the browser agent: records that it was made and what it ran.'''

    def __init__(self, url=None, screenshots=False, **kwargs):
        made.append(url)
        self._steps = []

    def run(self, instruction):
        if "missing" in instruction:
            self._steps.append({"instruction": instruction, "status": "failed", "message": "not there"})
            raise vantle.StepFailed(f"Step {instruction!r} failed: nothing on the page matches.")
        self._steps.append({"instruction": instruction, "status": "passed"})

    def close(self):
        pass


vantle.WebAgent = RecordingAgent


def pytest_sessionfinish(session):
    with open("agents.json", "w") as f:
        json.dump(made, f)
"""


def test_broken_files_fail_before_any_agent_and_others_run_in_order(pytester):
    pytester.makeconftest(DOUBLE)
    pytester.makefile(".web.config.py", vantle='URL = "http://app.test/"\n')
    pytester.makefile(".steps", test_clean='click "Log in"\nverify "Products" is present\n')
    pytester.makefile(".steps", test_broken='# sign in\nclick "Log in\ntype secret_sauce\nverify "Products" is shown\n')
    pytester.makefile(".steps", test_sections='## Signs in\nclick "Log in"\n\n## Stray checks\n'
                                              'verify "Products" is present\nverify "missing" is present\n'
                                              'click "never reached"\n')
    result = pytester.runpytest_subprocess("--vantle-report=report.html", "-v", *LEAN)
    result.assert_outcomes(passed=2, failed=2)
    result.stdout.fnmatch_lines([
        "*test_broken.steps::test_broken FAILED*",
        "*test_clean.steps::test_clean PASSED*",
        "*test_sections.steps::Signs in PASSED*",
        "*test_sections.steps::Stray checks FAILED*",
    ])
    result.stdout.fnmatch_lines([
        "test_broken.steps:2: Unbalanced quote *",
        "test_broken.steps:3: `type` instruction missing `into` keyword*",
        "test_broken.steps:4: `verify` instruction missing state*",
    ])
    result.stdout.fnmatch_lines(["test_sections.steps:6: Step 'verify \"missing\" is present' failed: *"])
    # One agent per test that got past validation; none for the broken file.
    assert json.loads((pytester.path / "agents.json").read_text()) == ["http://app.test/"] * 3
    report = html.unescape((pytester.path / "report.html").read_text())
    assert 'verify "Products" is present' in report and 'click "never reached"' not in report


LOGIN_PAGE = """<!DOCTYPE html>
<html><body>
<form id="login" onsubmit="event.preventDefault(); document.getElementById('hello').hidden = false;">
  <label for="user">Username</label> <input id="user">
  <label for="pass">Password</label> <input id="pass" type="password">
  <button type="submit">Log in</button>
</form>
<p id="hello" hidden>Welcome back</p>
</body></html>
"""


@pytest.mark.browser
def test_a_user_without_python_files_runs_steps_on_a_real_browser(pytester):
    page = pytester.path / "login.html"
    page.write_text(LOGIN_PAGE)
    pytester.makefile(".web.config.py", vantle=f'URL = "{page.as_uri()}"\n')
    pytester.makefile(".steps", test_login="# Sign in with the demo account.\n"
                                           "type standard_user into \"Username\"\n"
                                           "type secret into \"Password\"\n"
                                           "click \"Log in\"\n"
                                           "verify text \"Welcome back\" is visible\n")
    pytester.makefile(".steps", test_account='## greets\nclick "Log in"\nverify text "Welcome back" is visible\n\n'
                                             '## shows the balance\nclick "Log in"\n'
                                             'verify text "Balance" is visible\n')
    result = pytester.runpytest_subprocess("--vantle-report=out/report.html", *LEAN)
    result.assert_outcomes(passed=2, failed=1)
    result.stdout.fnmatch_lines(["test_account.steps:7: Step 'verify text \"Balance\" is visible' failed*"
                                 " Page snapshot: */out/snapshots/*.json"])
    assert len(list((pytester.path / "out" / "snapshots").glob("*.json"))) == 1
    report = html.unescape((pytester.path / "out" / "report.html").read_text())
    for shown in ("test_login.steps", "type standard_user into", "shows the balance"):
        assert shown in report


UPLOAD_PAGE = """<!doctype html><html><body>
<label for="f">Attachment</label><input type="file" id="f" multiple
 onchange="document.getElementById('got').textContent = 'Got ' + this.files[0].name">
<p id="got">Nothing</p></body></html>"""


@pytest.mark.browser
def test_upload_paths_are_read_next_to_the_test_then_next_to_the_configuration(tmp_path):
    import subprocess
    import sys

    (tmp_path / "upload.html").write_text(UPLOAD_PAGE)
    (tmp_path / "vantle.web.config.py").write_text(f'URL = "{(tmp_path / "upload.html").as_uri()}"\n')
    (tmp_path / "shared.txt").write_text("shared")
    deep = tmp_path / "suite" / "deep"
    (deep / "data").mkdir(parents=True)
    (deep / "data" / "mine.txt").write_text("mine")
    (deep / "test_upload.steps").write_text(
        "## next to the test\nupload data/mine.txt into \"Attachment\"\nverify text \"Got mine.txt\" is present\n"
        "## next to the configuration\nupload shared.txt into \"Attachment\"\nverify text \"Got shared.txt\" is present\n"
    )
    # Run from a folder that is neither, so the working directory finds nothing.
    run = subprocess.run([sys.executable, "-m", "pytest", "-q", *LEAN, "deep"], cwd=tmp_path / "suite",
                         capture_output=True, text=True, timeout=240)
    assert run.returncode == 0, run.stdout + run.stderr
    assert "2 passed" in run.stdout

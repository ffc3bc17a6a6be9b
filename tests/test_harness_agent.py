"""End to end: installed plug-in, real WebAgent, real Chromium, local page;
the report shows each test's steps and the failed step's screenshot."""

import base64
import re

import pytest

pytestmark = pytest.mark.browser

PAGE = """<!DOCTYPE html>
<html><body>
<label for="user">Username</label> <input id="user">
<button onclick="document.getElementById('out').textContent = 'Welcome ' + document.getElementById('user').value">
Log in</button>
<p id="out"></p>
</body></html>
"""

TESTS = """
def test_page_shows_login(agent):
    agent.run('verify "Username" is present')
    agent.run('verify "Log in" is present')

def test_missing_button(agent):
    agent.run('verify "Sign <b>up</b>" is present')
"""


def test_real_agent_run_is_reported(pytester):
    page = pytester.path / "login.html"
    page.write_text(PAGE)
    pytester.makefile(".web.config.py", vantle=f"URL = {page.as_uri()!r}\nSCREENSHOTS_ON_FAILURE = True\n")
    pytester.makepyfile(test_login=TESTS)
    result = pytester.runpytest_subprocess("-p", "no:hypothesispytest", "-p", "no:cacheprovider", timeout=240)
    result.assert_outcomes(passed=1, failed=1)
    html = (pytester.path / "test_report" / "report.html").read_text(encoding="utf-8")
    steps = re.findall(r'<td class="icon (\w+)" style="font-size:11px">.</td><td class="step-text">([^<]*)', html)
    assert steps == [
        ("passed", "verify &quot;Username&quot; is present"),
        ("passed", "verify &quot;Log in&quot; is present"),
        (steps[2][0], "verify &quot;Sign &lt;b&gt;up&lt;/b&gt;&quot; is present"),
    ]
    assert steps[2][0] != "passed"
    assert html.count('class="step-msg"') == 1
    shots = re.findall(r'src="data:image/png;base64,([^"]+)"', html)
    assert len(shots) == 1 and base64.b64decode(shots[0]).startswith(b"\x89PNG\r\n\x1a\n")

"""One browser per run: the agent fixture's tests share a Chromium but never a
context, a crashed browser is replaced for the next test, and a WebAgent made
directly still owns its own browser."""

import pytest

pytestmark = pytest.mark.browser

LEAN = ("-p", "no:hypothesispytest", "-p", "no:cacheprovider")

# A loopback server, so that cookies and storage have an origin to live in.
CONFTEST = """
import functools, http.server, threading
import pytest

@pytest.fixture(scope="session")
def site(tmp_path_factory):
    root = tmp_path_factory.mktemp("site")
    (root / "index.html").write_text("<button onclick=\\"alert('hi')\\">Greet</button><p>Ready</p>")
    handler = functools.partial(http.server.SimpleHTTPRequestHandler, directory=str(root))
    handler.log_message = lambda *a: None
    httpd = http.server.ThreadingHTTPServer(("127.0.0.1", 0), handler)
    threading.Thread(target=httpd.serve_forever, daemon=True).start()
    yield f"http://127.0.0.1:{httpd.server_address[1]}/index.html"
    httpd.shutdown()
"""

ISOLATION = """
SEEN = []

def test_leaves_traces_behind(agent, site):
    page = agent.page
    page.goto(site)
    page.context.add_cookies([{"name": "who", "value": "first", "url": site}])
    page.evaluate("localStorage.setItem('who', 'first')")
    page.context.grant_permissions(["geolocation"], origin=site.rsplit("/", 1)[0])
    page.set_viewport_size({"width": 400, "height": 300})
    agent.run('click "Greet"')        # a dialog left open at the end of the test
    SEEN.append(page.context.browser)

def test_finds_none_of_them(agent, site):
    page = agent.page
    page.goto(site)
    assert page.context.cookies() == []
    assert page.evaluate("localStorage.getItem('who')") is None
    assert page.evaluate("navigator.permissions.query({name: 'geolocation'}).then(p => p.state)") != "granted"
    assert page.viewport_size != {"width": 400, "height": 300}
    agent.run('verify text "Ready" is present')
    SEEN.append(page.context.browser)

def test_one_browser_served_both(vantle_browser):
    assert SEEN[0] is SEEN[1]
    assert vantle_browser.launches == 1
"""

# Kills the Chromium this process launched (found among its descendants).
CRASH = """
import os, signal

def descendants(root):
    children = {}
    for entry in os.listdir("/proc"):
        if entry.isdigit():
            try:
                fields = open(f"/proc/{entry}/stat").read().rsplit(")", 1)[1].split()
            except OSError:
                continue
            children.setdefault(int(fields[1]), []).append(int(entry))
    found, todo = [], [root]
    while todo:
        for child in children.get(todo.pop(), []):
            found.append(child)
            todo.append(child)
    return found

def browser_process():
    for pid in descendants(os.getpid()):
        args = open(f"/proc/{pid}/cmdline", "rb").read().split(b"\\0")
        if b"chrom" in args[0] and not any(a.startswith(b"--type=") for a in args):
            return pid

def test_crashes_the_browser(agent, site):
    agent.page.goto(site)
    os.kill(browser_process(), signal.SIGKILL)
    agent.run('verify text "Ready" is present')

def test_after_the_crash(agent, site):
    agent.page.goto(site)
    agent.run('verify text "Ready" is present')

def test_a_new_browser_was_launched(vantle_browser):
    assert vantle_browser.launches == 2
"""

DIRECT = """
import vantle

def test_direct_agent_owns_its_browser(agent, site):
    with vantle.WebAgent(site) as direct:
        assert direct.page.context.browser is not agent.page.context.browser
        direct.run('verify text "Ready" is present')
    # Closing it left the run's browser alone.
    agent.page.goto(site)
    agent.run('verify text "Ready" is present')
"""


def run(pytester, **files):
    pytester.makeconftest(CONFTEST)
    pytester.makepyfile(**files)
    return pytester.runpytest_subprocess(*LEAN, "-v", timeout=240)


def test_tests_share_the_browser_but_not_a_context(pytester):
    run(pytester, test_isolation=ISOLATION).assert_outcomes(passed=3)


def test_a_crashed_browser_fails_only_its_own_test(pytester):
    result = run(pytester, test_crash=CRASH)
    result.assert_outcomes(passed=2, failed=1)
    result.stdout.fnmatch_lines(["*test_crashes_the_browser FAILED*"])


def test_a_webagent_made_directly_owns_its_browser(pytester):
    run(pytester, test_direct=DIRECT).assert_outcomes(passed=1)

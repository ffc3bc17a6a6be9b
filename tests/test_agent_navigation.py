"""Steps that start a navigation, or meet one in flight, on a loopback server
that answers every page with a small delay: the next step works on the new
page, and nothing but StepFailed ever leaves agent.run."""

import html
import http.server
import socket
import threading
import time
from urllib.parse import parse_qs, urlparse

import pytest

from vantle import StepFailed, WebAgent

pytestmark = pytest.mark.browser

DELAY_S = 0.05

SEARCH_FORM = """<form action="/search"><label for="q">Query</label>
<input id="q" name="q"><button>Search</button></form>"""


def page(body):
    return f"<!doctype html><html><body>{body}</body></html>".encode()


class SlowHandler(http.server.BaseHTTPRequestHandler):
    def log_message(self, *args):
        pass

    def do_GET(self):
        url = urlparse(self.path)
        time.sleep(DELAY_S)
        if url.path == "/search":
            term = html.escape(parse_qs(url.query).get("q", [""])[0])
            body = page(f"<h1>Results for {term}</h1>{SEARCH_FORM}")
        elif url.path == "/sort":
            order = html.escape(parse_qs(url.query).get("by", ["name"])[0])
            body = page(f"<h1>Sorted by {order}</h1><form action='/sort'><label for='by'>Sort by</label>"
                        "<select id='by' name='by' onchange='this.form.submit()'>"
                        "<option>name</option><option>price</option></select></form>")
        elif url.path == "/links":
            body = page('<p>Start here</p><a href="/next">Next page</a>')
        elif url.path == "/next":
            body = page(
                "<h2>Second page</h2><p id=out></p>"
                "<button onclick=\"document.getElementById('out').textContent='Finished'\">Finish</button>"
            )
        else:
            body = page(SEARCH_FORM)
        self.send_response(200)
        self.send_header("Content-Type", "text/html; charset=utf-8")
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        try:
            self.wfile.write(body)
        except (BrokenPipeError, ConnectionResetError):
            pass  # the browser navigated on before the answer came


@pytest.fixture(scope="module")
def slow_server():
    httpd = http.server.ThreadingHTTPServer(("127.0.0.1", 0), SlowHandler)
    thread = threading.Thread(target=httpd.serve_forever, daemon=True)
    thread.start()
    yield f"http://127.0.0.1:{httpd.server_address[1]}"
    httpd.shutdown()
    httpd.server_close()


@pytest.fixture(scope="module")
def agent():
    with WebAgent(screenshots=True, timeout_ms=5000) as agent:
        yield agent


def test_fifty_searches_submitted_with_enter(agent, slow_server):
    rounds, errors = 50, []
    agent.run(f"navigate {slow_server}/")
    started = time.perf_counter()
    for i in range(rounds):
        term = f"lamp{i}"
        try:
            agent.run(f'type {term} into "Query"')
            agent.run("press Enter")
            # The key step itself waits for the result page to commit.
            if f"q={term}" not in agent.page.url:
                errors.append((i, f"still on {agent.page.url} after Enter"))
            agent.run(f'verify text "Results for {term}" is present')
        except Exception as error:  # every kind counts: the point is that none happens
            errors.append((i, repr(error)))
    elapsed = time.perf_counter() - started
    print(f"\nnavigation loop: {rounds} rounds, {len(errors)} errors, {elapsed:.2f} s "
          f"({elapsed / rounds * 1000:.0f} ms per round)")
    assert errors == []


def test_a_link_that_loads_a_page_then_a_step_on_it(agent, slow_server):
    agent.run(f"navigate {slow_server}/links")
    assert agent.run('click "Next page"') == "Next page"
    assert agent.page.url.endswith("/next")
    agent.run('click "Finish"')
    assert agent.run('verify text "Finished" is present') is True


def test_a_check_that_meets_a_navigation_in_flight_waits_for_the_new_page(agent, slow_server):
    agent.run(f"navigate {slow_server}/links")
    # Started behind the agent's back, so no step waits for it to commit.
    agent.page.evaluate("() => setTimeout(() => { location.href = '/search?q=late'; }, 10)")
    assert agent.run('verify text "Results for late" is present') is True


def closed_port():
    with socket.socket() as probe:
        probe.bind(("127.0.0.1", 0))
        return probe.getsockname()[1]


def test_an_unexpected_browser_error_is_a_step_failure_with_its_cause(agent):
    with pytest.raises(StepFailed) as failure:
        agent.run(f"navigate http://127.0.0.1:{closed_port()}/")
    cause = failure.value.__cause__
    assert cause is not None and "ERR_CONNECTION_REFUSED" in str(cause)
    assert "ERR_CONNECTION_REFUSED" in str(failure.value)
    step = agent._steps[-1]
    assert step["status"] == "failed" and step["message"] == str(failure.value)


def test_an_error_inside_the_scan_is_a_step_failure_with_its_cause(agent, slow_server, monkeypatch):
    agent.run(f"navigate {slow_server}/links")

    def broken(*args, **kwargs):
        raise ValueError("the page answered nonsense")

    monkeypatch.setattr(agent.page, "evaluate", broken)
    with pytest.raises(StepFailed) as failure:
        agent.run('click "Next page"')
    assert isinstance(failure.value.__cause__, ValueError)
    assert "the page could not be scanned: the page answered nonsense" in str(failure.value)
    monkeypatch.undo()
    step = agent._steps[-1]
    # The screenshot is taken after the page settles, so it shows the page.
    assert step["status"] == "failed" and step.get("screenshot")
    assert agent.run('click "Next page"') == "Next page"


def test_a_click_that_submits_a_form_is_on_the_result_page_when_it_returns(agent, slow_server):
    agent.run(f"navigate {slow_server}/")
    agent.run('type lamp into "Query"')
    assert agent.run('click "Search"') == "Search"
    # The driver's own click waited for the navigation it started.
    assert "q=lamp" in agent.page.url
    assert agent.run('verify text "Results for lamp" is present') is True


def page_calls(agent, monkeypatch):
    """The scripts the agent evaluates in the page, by their first line."""
    calls = []
    evaluate = agent.page.evaluate

    def counting(script, *args, **kwargs):
        calls.append(script.strip().splitlines()[0])
        return evaluate(script, *args, **kwargs)

    monkeypatch.setattr(agent.page, "evaluate", counting)
    return calls


def test_a_click_asks_no_navigation_question_the_driver_answered(agent, slow_server, monkeypatch):
    agent.run(f"navigate {slow_server}/next")
    agent.run('click "Finish"')
    calls = page_calls(agent, monkeypatch)
    agent.run('click "Finish"')
    # the scan (which marks the document too), the scroll and text: no check after the click
    assert len(calls) == 2 and not any(c.startswith("async") for c in calls), calls
    calls.clear()
    agent.run("press Tab")
    # keys are not followed by the driver: the agent checks for a navigation itself
    assert any(c.startswith("async") for c in calls), calls


def test_typing_asks_the_page_once_before_the_click(agent, slow_server, monkeypatch):
    from playwright.sync_api import Locator

    agent.run(f"navigate {slow_server}/")
    agent.run('type lamp into "Query"')
    calls = page_calls(agent, monkeypatch)
    element_calls = []
    monkeypatch.setattr(Locator, "evaluate", lambda self, *args, **kwargs: element_calls.append(args))
    agent.run('type lantern into "Query"')
    # the scan, the scroll with the rich-editor check, and the navigation check after the keys
    assert len(calls) == 3 and calls[1].startswith("(path)") and calls[2].startswith("async"), calls
    assert element_calls == []
    assert agent.page.input_value("#q") == "lantern"


def test_a_step_whose_scan_marked_the_page_still_waits_for_the_navigation_it_starts(agent, slow_server, monkeypatch):
    agent.run(f"navigate {slow_server}/sort")
    calls = page_calls(agent, monkeypatch)
    agent.run('select "price" from "Sort by"')
    # No call of its own marks the document: the scan did, so the check after
    # the choice still tells the form's submission from a page that stayed.
    assert not any(c.startswith("(token)") for c in calls), calls
    assert "by=price" in agent.page.url
    assert agent.page.locator("h1").inner_text() == "Sorted by price"

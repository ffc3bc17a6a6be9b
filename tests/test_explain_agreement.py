"""`vantle explain` and the agent must never disagree: every instruction of
the example suite, and checks generated from the test pages, run through the
agent on real Chromium; explain then resolves the same instruction on the
very scan the agent last looked at, and must pick the same element and reach
the same verdict."""

import ast
import functools
import http.server
import threading
from pathlib import Path

import pytest

from vantle import StepFailed, WebAgent
from vantle._explain import explain

pytestmark = pytest.mark.browser

ROOT = Path(__file__).parent.parent
EXAMPLES = ROOT / "examples"
PAGES = Path(__file__).parent / "pages"


def steps_file_instructions(path):
    lines = (line.strip() for line in path.read_text(encoding="utf-8-sig").splitlines())
    return [line for line in lines if line and not line.startswith("#")]


def python_instructions(path):
    """The literal instructions a test module hands to run(), in source order."""
    found = []
    for node in ast.walk(ast.parse(path.read_text(encoding="utf-8"))):
        if (isinstance(node, ast.Call) and isinstance(node.func, ast.Attribute) and node.func.attr == "run"
                and node.args and isinstance(node.args[0], ast.Constant) and isinstance(node.args[0].value, str)):
            found.append((node.lineno, node.args[0].value))
    return [text for _, text in sorted(found)]


def example_suites():
    suites = {}
    for path in sorted(EXAMPLES.glob("*.steps")) + sorted((EXAMPLES / "steps").glob("*.steps")):
        suites[str(path.relative_to(EXAMPLES))] = steps_file_instructions(path)
    login = python_instructions(EXAMPLES / "conftest.py")
    for path in sorted(EXAMPLES.glob("test_*.py")):
        suites[path.name] = login + python_instructions(path)
    return suites


SUITES = example_suites()


def serve(directory):
    handler = functools.partial(http.server.SimpleHTTPRequestHandler, directory=str(directory))
    handler.log_message = lambda *args: None
    httpd = http.server.ThreadingHTTPServer(("127.0.0.1", 0), handler)
    threading.Thread(target=httpd.serve_forever, daemon=True).start()
    return httpd


@pytest.fixture(scope="module")
def shop():
    httpd = serve(EXAMPLES / "site")
    yield f"http://127.0.0.1:{httpd.server_address[1]}/"
    httpd.shutdown()
    httpd.server_close()


@pytest.fixture(scope="module")
def agent():
    # Short: failing steps are expected here, and each waits this long.
    with WebAgent(timeout_ms=300) as agent:
        yield agent


def agree(agent, instruction):
    """Runs one instruction and compares the agent with explain; returns the disagreement or None."""
    failure = None
    try:
        agent.run(instruction)
    except StepFailed as error:
        failure = str(error)
    seen = agent._last_resolution
    if seen is None:
        return None
    snapshot = {"url": agent.page.url, "elements": seen["elements"], "text_elements": seen["text_elements"]}
    if "row" in seen:  # a table step's row is read from the page's structure, not the records
        snapshot["row"] = seen["row"]
    explained = explain(snapshot, instruction)
    problems = []
    if explained["element"] != seen["result"]["element"]:
        problems.append("different elements")
    if explained["passed"] != seen["passed"]:
        problems.append(f"explain passed={explained['passed']}, agent passed={seen['passed']}")
    if not seen["passed"]:
        if failure is None or not failure.startswith(seen["message"]):
            problems.append(f"agent raised {failure!r} for a failing resolution")
        if explained.get("message") != seen["message"]:
            problems.append(f"messages differ: {explained.get('message')!r} vs {seen['message']!r}")
    return f"{instruction}: {'; '.join(problems)}" if problems else None


@pytest.mark.parametrize("suite", sorted(SUITES))
def test_every_example_instruction(agent, shop, suite):
    agent.run(f"navigate {shop}index.html")
    disagreements = []
    for instruction in SUITES[suite]:
        if instruction.startswith("navigate "):
            continue  # the examples' addresses point at their own server
        if agent._browser_manager.get_dialog() is not None and "dialog" not in instruction:
            agent.run("dismiss dialog")
        disagreements.append(agree(agent, instruction))
    assert [d for d in disagreements if d] == []


def page_names():
    return sorted(str(p.relative_to(PAGES)) for p in PAGES.glob("*/*.html"))


def generated_checks(agent):
    """Checks a tester could write about what the page shows, on its own texts."""
    names = []
    for record in agent._last_resolution["elements"] + agent._last_resolution["text_elements"]:
        text = (record.get("text") or "").strip()
        if text and len(text) <= 30 and "\n" not in text and '"' not in text and text not in names:
            names.append(text)
    checks = []
    for name in names[:4]:
        checks += [
            f'verify "{name}" is visible',
            f'verify "{name}" is disabled',
            f'verify "{name}" is not present',
            f'verify text "{name}" is not visible',
            f'verify button near "{name}" is disabled',
            f'verify input below "{name}" is enabled',
            f'extract text from "{name}"',
        ]
    return checks + ['verify "No such thing anywhere" is present', 'click second button near "Nothing here"']


@pytest.mark.parametrize("name", page_names())
def test_generated_checks_on_every_test_page(agent, server, name):
    agent.run(f"navigate {server}/{name}")
    agent.run('verify "anything at all" is not present')
    disagreements = [agree(agent, instruction) for instruction in generated_checks(agent)]
    assert [d for d in disagreements if d] == []


def test_a_state_check_by_position_is_judged_alike(agent, server):
    agent.run(f"navigate {server}/agent/shop.html")
    page = agent.page
    page.set_content('<p>Total</p><button>Pay</button>')
    with pytest.raises(StepFailed, match="to be disabled"):
        agent.run('verify button near "Total" is disabled')
    seen = agent._last_resolution
    explained = explain({"elements": seen["elements"], "text_elements": seen["text_elements"]},
                        'verify button near "Total" is disabled')
    assert explained["element"]["text"] == "Pay"
    assert (explained["resolved"], explained["passed"]) == (True, False)
    assert "to be disabled, but it is enabled" in explained["message"]

"""The edges between the C++ core and Python: records that another thread
changes while the core works without the GIL, a user's interrupt raised in
the host's own Python calls, and the interpreter's exit with a driver still
running."""

import subprocess
import sys
import textwrap

import greenlet
import pytest

from vantle import StepFailed, WebAgent

INTERRUPTS = [KeyboardInterrupt, pytest.fail.Exception]


def run_python(code, timeout=120):
    return subprocess.run([sys.executable, "-c", textwrap.dedent(code)], capture_output=True, text=True,
                          timeout=timeout)


def test_resolve_keeps_its_records_while_another_thread_replaces_them():
    # In a child process: the fault this guards against is a crash.
    run = run_python("""
        import threading, time
        from vantle.engine.strategies.direct_strategy import DirectStrategy

        def records():
            return [{"tag": "button", "text": f"Button {i}", "attributes": {"id": f"b{i}"},
                     "xpath": f"/html/body/button[{i + 1}]", "is_visible": True, "is_enabled": True,
                     "bounding_box": {"x": 0, "y": i, "width": 10, "height": 10}} for i in range(3000)]

        shared = records()
        stop = False

        def churn():
            # Frees the old records while the core may still point at them.
            while not stop:
                shared[:] = records()

        thread = threading.Thread(target=churn)
        thread.start()
        strategy = DirectStrategy()
        deadline = time.perf_counter() + 2
        try:
            while time.perf_counter() < deadline:
                result = strategy.resolve({"action": "click", "target": "Button 2999", "value": None},
                                          shared, [])
                assert result["element"]["text"] == "Button 2999", result["element"]
                assert result["element"]["xpath"] == "/html/body/button[3000]"
        finally:
            stop = True
            thread.join()
        print("ok")
    """)
    assert (run.returncode, run.stdout.strip()) == (0, "ok"), run.stderr[-2000:]


@pytest.fixture(scope="module")
def agent():
    with WebAgent(screenshots=True, timeout_ms=500) as agent:
        yield agent


@pytest.fixture
def buttons(agent, server):
    agent.run(f"navigate {server}/agent/shop.html")
    agent.page.set_content("<button onclick=\"this.textContent='Done'\">Go</button>")
    return agent


@pytest.mark.browser
@pytest.mark.parametrize("interrupt", INTERRUPTS, ids=["KeyboardInterrupt", "pytest-timeout"])
def test_an_interrupt_in_the_failure_screenshot_is_not_swallowed(buttons, monkeypatch, interrupt):
    def screenshot(*args, **kwargs):
        raise interrupt("stop")

    monkeypatch.setattr(buttons.page, "screenshot", screenshot)
    with pytest.raises(interrupt):
        buttons.run('click "Nothing like it"')


@pytest.mark.browser
@pytest.mark.parametrize("interrupt", INTERRUPTS, ids=["KeyboardInterrupt", "pytest-timeout"])
def test_an_interrupt_in_the_guard_around_a_click_ends_the_step(buttons, monkeypatch, interrupt):
    real = greenlet.getcurrent
    calls = []

    def getcurrent():
        try:
            caller = sys._getframe(1).f_code.co_filename
        except ValueError:
            caller = ""
        if "playwright" not in caller:  # the driver's own calls are not the host's
            calls.append(1)
            # The scan and the document mark come first; the third guarded call is the click.
            if len(calls) == 3:
                raise interrupt("stop")
        return real()

    monkeypatch.setattr(greenlet, "getcurrent", getcurrent)
    with pytest.raises(interrupt):
        buttons.run('click "Go"')
    monkeypatch.undo()
    # The agent is still usable afterwards.
    assert buttons.run('click "Go"') == "Go"
    assert buttons.run('verify "Done" is present') is True


@pytest.mark.browser
def test_ordinary_errors_in_host_calls_still_fail_the_step(buttons, monkeypatch):
    def screenshot(*args, **kwargs):
        raise RuntimeError("no picture today")

    monkeypatch.setattr(buttons.page, "screenshot", screenshot)
    with pytest.raises(StepFailed, match="nothing on the page matches"):
        buttons.run('click "Nothing like it"')


@pytest.mark.browser
def test_the_interpreter_exits_cleanly_with_an_agent_left_open():
    run = run_python("""
        import threading
        from vantle import WebAgent

        agents = [WebAgent()]

        def in_thread():
            agents.append(WebAgent())

        thread = threading.Thread(target=in_thread)
        thread.start()
        thread.join()
        print("started", len(agents))
    """)
    assert (run.returncode, run.stdout.strip()) == (0, "started 2"), run.stderr[-2000:]

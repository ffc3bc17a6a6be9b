"""WebAgent on real Chromium and local pages: waiting, routing, failure
messages and screenshots, dialogs, the heading check, connecting to a
browser server and the missing-browser message."""

import base64
import json
import os
import subprocess
import sys
import time
from pathlib import Path

import pytest

from vantle import BrowserNotFound, StepFailed, WebAgent

pytestmark = pytest.mark.browser


@pytest.fixture(scope="module")
def agent():
    with WebAgent(screenshots=True, timeout_ms=2500) as agent:
        yield agent


@pytest.fixture
def on(agent, server):
    """on("page.html") opens tests/pages/agent/page.html in the shared agent."""

    def _open(name):
        if agent._browser_manager.get_dialog() is not None:
            agent.run("dismiss dialog")
        agent.run(f"navigate {server}/agent/{name}")
        return agent

    return _open


def failure_of(agent, instruction):
    with pytest.raises(StepFailed) as failure:
        agent.run(instruction)
    step = agent._steps[-1]
    assert step["instruction"] == instruction and step["status"] == "failed"
    assert step["message"] == str(failure.value)
    return step


class TestWaiting:
    def test_a_late_element_is_waited_for(self, on):
        agent = on("delayed.html")
        assert agent.run('click "Appears later"') == "Appears later"
        assert agent.run('verify text "Clicked" is present') is True

    def test_wait_sleeps_and_rejects_non_numbers(self, on):
        agent = on("delayed.html")
        started = time.monotonic()
        assert agent.run("wait 300") is None
        assert time.monotonic() - started >= 0.3
        step = failure_of(agent, "wait soon")
        assert "milliseconds" in step["message"] and "'soon'" in step["message"]


class TestRouting:
    @pytest.mark.parametrize(
        "instruction, clicked",
        [
            ('click first button next to "Sign up"', "Clicked Join"),
            ('click second button right of "Sign up"', "Clicked Later"),
            ("click second button", "Clicked Later"),
            ('click "Add"', "Clicked Add"),
        ],
    )
    def test_clicks_reach_the_right_button(self, on, instruction, clicked):
        agent = on("shop.html")
        agent.run(instruction)
        assert agent.run(f'verify text "{clicked}" is present') is True

    def test_typing_into_a_labelled_field_and_reading_it_back(self, on):
        agent = on("shop.html")
        agent.run('type ada@example.com into "Email"')
        assert agent.run('extract text from "Email"') == "ada@example.com"


class TestChecks:
    @pytest.mark.parametrize(
        "instruction",
        [
            'verify "Products" is present',
            'verify "Products" is visible',
            'verify "Submit" is enabled',
            'verify "Locked" is disabled',
            "find exact text Products",
            'verify text next to "Potential Returns" is $29.00',
        ],
    )
    def test_passing_checks_return_true(self, on, instruction):
        assert on("shop.html").run(instruction) is True
        step = on("shop.html")._steps[-2]
        assert list(step) == ["instruction", "status", "start", "duration"]
        assert (step["instruction"], step["status"]) == (instruction, "passed")

    def test_state_checks_keep_their_meaning(self, on):
        agent = on("shop.html")
        step = failure_of(agent, 'verify "Locked" is enabled')
        assert "'Locked'" in step["message"] and "disabled" in step["message"]


class TestFailures:
    def test_a_miss_names_near_candidates_and_has_a_screenshot(self, on):
        agent = on("shop.html")
        started = time.monotonic()
        step = failure_of(agent, 'click "Sbumit"')
        assert time.monotonic() - started >= 2.5  # retried until the time was up
        assert step["message"].startswith("Step 'click \"Sbumit\"' failed: ")
        assert "'Sbumit'" in step["message"] and "'Submit'" in step["message"]
        assert base64.b64decode(step["screenshot"]).startswith(b"\x89PNG\r\n\x1a\n")

    def test_a_text_check_shows_expected_and_actual(self, on):
        agent = on("shop.html")
        step = failure_of(agent, 'verify text next to "Potential Returns" is $30.00')
        assert "'$30.00'" in step["message"] and "'$29.00'" in step["message"]

    def test_an_invalid_instruction(self, on):
        step = failure_of(on("shop.html"), "make coffee")
        assert "Unrecognised instruction: 'make coffee'" in step["message"]


class TestDialogs:
    """A step that opens a native dialog returns at once; the dialog stays
    pending until a dialog step handles it."""

    def click_opening(self, agent, button):
        started = time.monotonic()
        assert agent.run(f'click "{button}"') == button
        # Far below the page's own 10 s action limit: nothing waited on the dialog.
        assert time.monotonic() - started < 5
        assert agent._browser_manager.get_dialog() is not None

    def test_alert(self, on):
        agent = on("dialogs.html")
        self.click_opening(agent, "Alert")
        assert agent.run('verify dialog says "saved"') is True
        assert agent.run("accept dialog") == "Saved"
        assert agent.run('verify text "Alert closed" is present') is True

    def test_dialog_text_is_compared_with_typography_folded(self, on):
        agent = on("dialogs.html")
        self.click_opening(agent, "Curly alert")
        assert agent.run("verify dialog says \"You're all set - order placed\"") is True
        agent.run("accept dialog")

    @pytest.mark.parametrize("answer, shown", [("accept", "Confirmed"), ("dismiss", "Cancelled")])
    def test_confirm_gets_the_answer(self, on, answer, shown):
        agent = on("dialogs.html")
        self.click_opening(agent, "Confirm")
        assert agent.run(f"{answer} dialog") == "Delete it?"
        assert agent.run(f'verify text "{shown}" is present') is True

    # Accepting answers the prompt with empty text (no answer text is given).
    @pytest.mark.parametrize("answer, shown", [("accept", "Hello"), ("dismiss", "No name")])
    def test_prompt(self, on, answer, shown):
        agent = on("dialogs.html")
        self.click_opening(agent, "Prompt")
        agent.run(f"{answer} dialog")
        assert agent.run(f'verify text "{shown}" is present') is True

    def test_other_steps_fail_at_once_while_a_dialog_is_open(self, on):
        agent = on("dialogs.html")
        self.click_opening(agent, "Confirm")
        for instruction in ['click "Alert"', 'verify "Alert" is present', "wait 10"]:
            started = time.monotonic()
            step = failure_of(agent, instruction)
            assert time.monotonic() - started < 2
            assert "'Delete it?'" in step["message"] and "screenshot" not in step
        step = failure_of(agent, 'verify dialog says "Are you sure"')
        assert "'Are you sure'" in step["message"] and "'Delete it?'" in step["message"]
        agent.run("dismiss dialog")
        assert agent.run('verify text "Cancelled" is present') is True

    def test_a_dialog_step_waits_for_a_late_dialog(self, on):
        agent = on("dialogs.html")
        agent.run('click "Late alert"')
        assert agent.run("accept dialog") == "Later"

    def test_no_dialog_to_handle(self, on):
        step = failure_of(on("dialogs.html"), "accept dialog")
        assert "no dialog" in step["message"]


class TestAgent:
    def test_run_file_skips_blanks_and_comments(self, agent, server, tmp_path):
        steps = tmp_path / "shop.steps"
        steps.write_text(
            f"# open the shop\nnavigate {server}/agent/shop.html\n\n  verify \"Products\" is present  \n",
            encoding="utf-8",
        )
        assert agent.run_file(steps) == [None, True]

    # Editors on some systems save a byte order mark and CRLF (or CR) line ends;
    # "## name" lines split .steps files and are skipped here.
    def test_run_file_reads_a_byte_order_mark_and_crlf(self, agent, server, tmp_path):
        steps = tmp_path / "shop.steps"
        text = f"\ufeffnavigate {server}/agent/shop.html\r\n## products\r\nverify \"Products\" is present\rverify text \"Products\" is present\r\n"
        steps.write_bytes(text.encode("utf-8"))
        assert agent.run_file(str(steps)) == [None, True, True]

    def test_run_all_stops_at_the_first_failure(self, on):
        agent = on("shop.html")
        count = len(agent._steps)
        with pytest.raises(StepFailed):
            agent.run_all(['verify "Submit" is enabled', "make coffee", 'verify "Submit" is enabled'])
        assert [s["status"] for s in agent._steps[count:]] == ["passed", "failed"]

    def test_opens_its_url_and_closes_twice(self, server):
        agent = WebAgent(f"{server}/agent/shop.html")
        assert agent.page.url.endswith("/agent/shop.html")
        agent.run('verify "Products" is present')
        agent.close()
        agent.close()
        [step] = agent._steps
        assert (step["instruction"], step["status"]) == ('verify "Products" is present', "passed")
        # Timed for the report: when it started, how long it took.
        assert 0 <= step["duration"] < 60 and abs(step["start"] - time.time()) < 600
        with pytest.raises(StepFailed, match="closed"):
            agent.run('verify "Products" is present')

    def test_missing_browser_says_what_to_install(self):
        with pytest.raises(BrowserNotFound, match="apt-get install chromium"):
            WebAgent(browser_path="/nonexistent/chromium")


@pytest.fixture(scope="module")
def browser_server(tmp_path_factory):
    """A Playwright browser server on loopback, started with Playwright's own driver."""
    from playwright._impl._driver import compute_driver_executable

    node, cli = compute_driver_executable()
    config = tmp_path_factory.mktemp("server") / "launch.json"
    config.write_text(json.dumps({
        "executablePath": os.environ.get("VANTLE_BROWSER") or "/usr/bin/chromium",
        "args": ["--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
                 "--disable-background-networking", "--disable-component-update", "--disable-sync"],
        "host": "127.0.0.1", "port": 0, "headless": True,
    }))
    process = subprocess.Popen([node, cli, "launch-server", "--browser", "chromium", "--config", str(config)],
                               stdout=subprocess.PIPE, text=True)
    try:
        endpoint = process.stdout.readline().strip()
        assert endpoint.startswith("ws://127.0.0.1:"), endpoint
        yield endpoint
    finally:
        process.terminate()
        process.wait(timeout=30)


@pytest.mark.parametrize("via", ["argument", "environment"])
def test_connects_to_a_browser_server(browser_server, server, monkeypatch, via):
    if via == "environment":
        monkeypatch.setenv("VANTLE_BROWSER_WS_ENDPOINT", browser_server)
        monkeypatch.setenv("VANTLE_BROWSER", "/nonexistent/chromium")  # never launched
        agent = WebAgent(f"{server}/agent/shop.html")
    else:
        agent = WebAgent(f"{server}/agent/shop.html", ws_endpoint=browser_server)
    with agent:
        assert agent.run('verify "Products" is present') is True

"""Under pytest-xdist the controller writes the one report, holding the steps
that every worker's agents filed."""

import re

import pytest
from harness_support import FAKE_BROWSER_CONFTEST

pytest.importorskip("xdist")

CONFTEST = """
import vantle

class StepAgent:
    def __init__(self, url=None, screenshots=False, **browser):
        self._steps = []

    def run(self, instruction, ok=True):
        step = {"instruction": instruction, "status": "passed" if ok else "failed", "screenshot": "U0hPVA=="}
        if not ok:
            step["message"] = "not found"
        self._steps.append(step)

    def close(self):
        pass

vantle.WebAgent = StepAgent
"""

TESTS = """
import os

def test_{name}_one(agent):
    agent.run("click '{name} one'")
    agent.run("pid " + os.environ.get("PYTEST_XDIST_WORKER", "none"))

def test_{name}_two(agent):
    agent.run("click '{name} two'")
    agent.run("verify '{name}' is present", ok=False)
    assert False, "step failed"

def test_{name}_plain():
    pass
"""


def test_report_from_two_workers_holds_every_test_and_its_steps(pytester):
    pytester.makeconftest(CONFTEST + FAKE_BROWSER_CONFTEST)
    pytester.makepyfile(test_alpha=TESTS.format(name="alpha"), test_beta=TESTS.format(name="beta"))
    result = pytester.runpytest_subprocess("-n", "2", "-p", "no:hypothesispytest", "-p", "no:cacheprovider")
    result.assert_outcomes(passed=4, failed=2)
    html = (pytester.path / "test_report" / "report.html").read_text(encoding="utf-8")
    tests = re.findall(r'<td class="test-name">([^<]*)</td>', html)
    assert sorted(tests) == sorted(f"test_{n}_{k}" for n in ("alpha", "beta") for k in ("one", "two", "plain"))
    steps = re.findall(r'<td class="step-text">([^<]*)', html)
    for name in ("alpha", "beta"):
        assert f"click &#39;{name} one&#39;" in steps and f"click &#39;{name} two&#39;" in steps
        assert f"verify &#39;{name}&#39; is present" in steps
    # The steps were filed on the workers, none on the controller.
    workers = {s for s in steps if s.startswith("pid ")}
    assert workers and workers <= {"pid gw0", "pid gw1"}
    assert html.count('class="step-msg"') == 2
    # Passed steps' pictures are not carried into the report.
    assert html.count("data:image/png;base64,U0hPVA==") == 2

"""Typed use of vantle's public face; type-checked against the generated stubs."""

from pathlib import Path

import vantle
from vantle import StepFailed, WebAgent
from vantle.engine.agent.step_parser import StepParser
from vantle.harness.reporter import VantleReporter


def sign_in(url: str, timeout_ms: float) -> str:
    with WebAgent(url, screenshots=True, timeout_ms=timeout_ms) as agent:
        agent.run('type standard_user into "Username"')
        results: list = agent.run_all(['click "Log in"', 'verify "Products" is present'])
        total = agent.run('extract text next to "Total"')
        return str(total) + str(len(results))


def failure_text(agent: WebAgent) -> str:
    try:
        agent.run('click "Nowhere"')
    except StepFailed as failure:
        return str(failure)
    return ""


def parsed(instruction: str) -> dict:
    return StepParser().parse(instruction)


def report(path: Path) -> str:
    return VantleReporter(str(path), None)._render()


def scan_mode() -> str:
    return str(vantle.settings.SCAN_MODE) + vantle.__version__

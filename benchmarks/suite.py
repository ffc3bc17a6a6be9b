"""The example suite with a browser per test against one browser per run.

Runs the example suite (examples/, one process) twice: once as before the
session browser, when every test launched its own Chromium (emulated by a
conftest that gives each test a browser of its own), and once as it is now,
one Chromium per run with a fresh context per test. Prints the wall time and
the per-test start cost (the set-up of the `agent` fixture) side by side with ratios, plus the floor: a new context and page
in the same running browser, made with Playwright directly just before each test. The floor is timed in a third run of
its own, so the contexts it makes do not count in the wall time of the second.

    .venv/bin/python benchmarks/suite.py [--rounds 1]
"""

import argparse
import json
import os
import shutil
import statistics
import subprocess
import sys
import tempfile
import time
from pathlib import Path

EXAMPLES = Path(__file__).resolve().parent.parent / "examples"

# Gives each test a browser of its own, as the agent fixture did before.
PER_TEST_BROWSER = '''

@pytest.fixture
def vantle_browser():
    from vantle._agent import SessionBrowser
    session = SessionBrowser()
    yield session
    session.close()
'''

# Writes how long each test's `agent` fixture took to set up (the browser
# launch included when there is one), apart from the test's other fixtures.
# With one browser per run it first times the floor in that same browser, just
# before each test, with Playwright alone: a bare new context and page, and
# the same opening the project's base address as the agent does at start.
RECORDER = '''
import json, os, time
import pytest

STARTS, FLOORS, OPENED = [], [], []

def bare_start(session, url=None):
    start = time.perf_counter()
    context = session.new_context()
    page = context.new_page()
    if url:
        page.goto(url, wait_until="load")
    took = time.perf_counter() - start
    context.close()
    return took

@pytest.hookimpl(hookwrapper=True)
def pytest_fixture_setup(fixturedef, request):
    if fixturedef.argname == "agent" and os.environ.get("VANTLE_BENCH_FLOOR"):
        from vantle.harness.fixtures import _find_config
        session = request.getfixturevalue("vantle_browser")
        FLOORS.append(bare_start(session))
        url = _find_config()[0].get("URL")
        if url:
            OPENED.append(bare_start(session, url))
    start = time.perf_counter()
    yield
    if fixturedef.argname == "agent":
        STARTS.append(time.perf_counter() - start)

def pytest_sessionfinish(session):
    with open(os.environ["VANTLE_BENCH_OUT"], "w") as out:
        json.dump({"starts": STARTS, "floors": FLOORS, "opened": OPENED}, out)
'''


def run_suite(per_test_browser, workdir, floor=False):
    suite = workdir / ("per_test" if per_test_browser else "session_floor" if floor else "session")
    shutil.copytree(EXAMPLES, suite, ignore=shutil.ignore_patterns("test_report", "__pycache__"))
    if per_test_browser:
        with open(suite / "conftest.py", "a") as conftest:
            conftest.write(PER_TEST_BROWSER)
    (suite / "bench_recorder.py").write_text(RECORDER)
    out = suite / "setups.json"
    env = {**os.environ, "VANTLE_BENCH_OUT": str(out), "PYTHONPATH": str(suite)}
    if floor:
        env["VANTLE_BENCH_FLOOR"] = "1"
    start = time.perf_counter()
    done = subprocess.run([sys.executable, "-m", "pytest", "-q", "-p", "no:cacheprovider", "-p", "bench_recorder"],
                          cwd=suite, env=env, capture_output=True, text=True)
    wall = time.perf_counter() - start
    summary = done.stdout.strip().splitlines()[-1] if done.stdout.strip() else done.stderr[-500:]
    return wall, json.loads(out.read_text()), summary, done.returncode


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--rounds", type=int, default=1)
    options = parser.parse_args()
    rows = {"per test": [], "per run": [], "floor": []}
    with tempfile.TemporaryDirectory() as tmp:
        for round_ in range(options.rounds):
            for label, per_test, floor in (("per test", True, False), ("per run", False, False),
                                           ("floor", False, True)):
                rows[label].append(run_suite(per_test, Path(tmp) / f"r{round_}", floor))

    def figures(label):
        walls = [r[0] for r in rows[label]]
        setups = [s for r in rows[label] for s in r[1]["starts"]]
        return min(walls), statistics.median(setups), statistics.mean(setups), rows[label][-1][2]

    before, after = figures("per test"), figures("per run")
    print("example suite, one process        browser per test   browser per run    ratio")
    print(f"  wall time                        {before[0]:8.2f} s        {after[0]:8.2f} s       {before[0] / after[0]:5.2f}x")
    print(f"  agent start (median)             {before[1] * 1000:8.0f} ms       {after[1] * 1000:8.0f} ms      "
          f"{before[1] / after[1]:5.2f}x")
    print(f"  agent start (mean)               {before[2] * 1000:8.0f} ms       {after[2] * 1000:8.0f} ms      "
          f"{before[2] / after[2]:5.2f}x")
    print(f"  outcome                          {before[3]}  |  {after[3]}")
    beside = figures("floor")
    print(f"floor run (Playwright alone, in the same browser just before each test); agent start there "
          f"{beside[1] * 1000:.0f} ms median")
    for key, what in (("floors", "new context + page"), ("opened", "new context + page + open the base address")):
        samples = [s for r in rows["floor"] for s in r[1][key]]
        if samples:
            floor = statistics.median(samples)
            print(f"  {what}: {floor * 1000:.0f} ms median; agent start / floor = {beside[1] / floor:.2f}x")


if __name__ == "__main__":
    main()

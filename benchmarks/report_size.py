"""What the HTML report weighs: 50 failed tests, each with a failed step and
its screenshot of a real page (the demo shop's product list, 1280x720), three
passed steps before it and a traceback.

    .venv/bin/python benchmarks/report_size.py [--tests 50]
"""

import argparse
import base64
import types
from pathlib import Path

from playwright.sync_api import sync_playwright

from vantle._agent import BrowserManager
from vantle.harness.reporter import VantleReporter

SITE = Path(__file__).resolve().parent.parent / "examples" / "site"
ARGS = ["--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run", "--disable-background-networking",
        "--disable-component-update", "--disable-sync"]


def screenshots(count):
    """Screenshots of the demo pages, as a failing run would take them (distinct pages, so none repeats)."""
    pages = ["index.html", "products.html", "cart.html", "checkout.html", "returns.html"]
    shots = []
    with sync_playwright() as p:
        browser = p.chromium.launch(executable_path=BrowserManager._locate_browser(), args=ARGS)
        page = browser.new_page(viewport={"width": 1280, "height": 720})
        for name in pages:
            page.goto((SITE / name).as_uri())
            shots.append(base64.b64encode(page.screenshot(type="png")).decode())
        browser.close()
    return [shots[i % len(shots)] for i in range(count)]


def report(count):
    shots = screenshots(count)
    steps, results = {}, []
    for i in range(count):
        nodeid = f"tests/test_shop.py::test_case_{i}"
        steps[nodeid] = [
            {"instruction": 'type standard_user into "Username"', "status": "passed", "start": 0.0, "duration": 0.2},
            {"instruction": 'click "Log in"', "status": "passed", "start": 0.2, "duration": 0.3},
            {"instruction": 'verify "Products" is present', "status": "passed", "start": 0.5, "duration": 0.1},
            {"instruction": f'click "Item {i}"', "status": "failed", "start": 0.6, "duration": 5.0,
             "message": f"Step 'click \"Item {i}\"' failed: nothing on the page matches 'Item {i}'.",
             "screenshot": shots[i]},
        ]
        results.append({"nodeid": nodeid, "file": "tests/test_shop.py", "test": f"test_case_{i}", "status": "failed",
                        "duration": 5.6, "message": "StepFailed: ...", "when": "call",
                        "traceback": "Traceback (most recent call last):\n" + "  frame\n" * 30})
    reporter = VantleReporter("unused.html", types.SimpleNamespace(_vantle_steps=steps))
    reporter.results.extend(results)
    return reporter._render().encode("utf-8"), sum(len(s) for s in shots)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--tests", type=int, default=50)
    count = parser.parse_args().tests
    html, pictures = report(count)
    print(f"{count} failed tests with screenshots: report {len(html) / 1024:.0f} KiB "
          f"({len(html) / count / 1024:.1f} KiB per test); screenshots {pictures / 1024:.0f} KiB of it "
          f"({pictures / len(html) * 100:.0f}%)")


if __name__ == "__main__":
    main()

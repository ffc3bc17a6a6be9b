"""One agent step against the hand-written Playwright call it stands for.

On a page with 100 controls, times agent.run('click "Button 37"') (parse,
scan, resolve, click, record) next to page.get_by_text("Button 37").click()
on the same page, for each scan mode, and prints the medians and the ratio.

    .venv/bin/python benchmarks/step.py [--runs N]
"""

import argparse
import statistics
import tempfile
import time
from pathlib import Path

import vantle.settings
from vantle import WebAgent


def page_html():
    parts = ["<!doctype html><html><body><h1>Controls</h1><p id='count'>0</p>"]
    for i in range(40):
        parts.append(f"<button onclick=\"count.textContent = +count.textContent + 1\">Button {i}</button>")
    for i in range(30):
        parts.append(f"<div><label for='f{i}'>Field {i}</label><input id='f{i}'></div>")
    for i in range(30):
        parts.append(f"<a href='#l{i}'>Link {i}</a> ")
    parts.append("</body></html>")
    return "\n".join(parts)


def median_ms(action, runs):
    times = []
    for _ in range(runs):
        started = time.perf_counter()
        action()
        times.append((time.perf_counter() - started) * 1000)
    return statistics.median(times)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--runs", type=int, default=15)
    args = parser.parse_args()
    with tempfile.TemporaryDirectory() as tmp:
        page_file = Path(tmp) / "controls.html"
        page_file.write_text(page_html(), encoding="utf-8")
        with WebAgent(page_file.as_uri()) as agent:
            page = agent.page
            hand = median_ms(lambda: page.get_by_text("Button 37", exact=True).click(), args.runs)
            print(f"page with 100 controls; medians of {args.runs} runs")
            print(f"  Playwright get_by_text(...).click():  {hand:8.1f} ms")
            for mode, runs in (("batched", args.runs), ("per-element", max(3, args.runs // 5))):
                vantle.settings.SCAN_MODE = mode
                step = median_ms(lambda: agent.run('click "Button 37"'), runs)
                print(f"  agent.run('click ...'), {mode:<11}  {step:8.1f} ms   ratio {step / hand:5.1f}x")
            del vantle.settings.SCAN_MODE


if __name__ == "__main__":
    main()

"""Agent steps against the hand-written Playwright calls they stand for.

On generated back-office pages of 100, 1,000 and 4,000 controls, times four
steps next to their Playwright equivalents in the same run and prints the
medians and the ratios:

    click "Button 100"                       get_by_role("button", name=..., exact=True).click()
    verify "Button 100" is visible           expect(get_by_role(...)).to_be_visible()
    click checkbox left of "Order 1100"      get_by_role("row").filter(has_text=...).get_by_role("checkbox").click()
    type 5 into "Qty 100"                    get_by_label(...).click(); keyboard.press("Control+a"); keyboard.type("5")

The two sides alternate run by run, so load on the machine hits both alike.

    .venv/bin/python benchmarks/step.py [--runs N] [--sizes 100 1000 4000] [--kinds click visible spatial type]
"""

import argparse
import tempfile
import time
from pathlib import Path

from backoffice import load, page_html
from playwright.sync_api import expect

from vantle import WebAgent

STEPS = (
    ("click", 'click "Button 100"',
     lambda page: page.get_by_role("button", name="Button 100", exact=True).click()),
    ("visible", 'verify "Button 100" is visible',
     lambda page: expect(page.get_by_role("button", name="Button 100", exact=True)).to_be_visible()),
    ("spatial", 'click checkbox left of "Order 1100"',
     lambda page: page.get_by_role("row").filter(has_text="Order 1100").get_by_role("checkbox").click()),
    ("type", 'type 5 into "Qty 100"', lambda page: type_by_hand(page, "Qty 100", "5")),
)


def type_by_hand(page, label, text):
    page.get_by_label(label, exact=True).click()
    page.keyboard.press("Control+a")
    page.keyboard.type(text)


def alternating_medians(first, second, runs):
    import statistics

    a, b = [], []
    for _ in range(runs):
        for action, out in ((first, a), (second, b)):
            started = time.perf_counter()
            action()
            out.append((time.perf_counter() - started) * 1000)
    return statistics.median(a), statistics.median(b)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--runs", type=int, default=15)
    parser.add_argument("--sizes", type=int, nargs="+", default=[100, 1000, 4000])
    parser.add_argument("--kinds", nargs="+", choices=[kind for kind, _, _ in STEPS], default=[k for k, _, _ in STEPS])
    args = parser.parse_args()
    print(f"medians of {args.runs} alternating runs; {load()}")
    print(f"{'controls':>8} {'step':<38} {'agent ms':>9} {'Playwright ms':>14} {'ratio':>6}")
    with tempfile.TemporaryDirectory() as tmp, WebAgent() as agent:
        page = agent.page
        for size in args.sizes:
            page_file = Path(tmp) / f"orders{size}.html"
            page_file.write_text(page_html(size), encoding="utf-8")
            agent.run(f"navigate {page_file.as_uri()}")
            for kind, step, hand in STEPS:
                if kind not in args.kinds:
                    continue
                agent.run(step)  # warm both paths once
                hand(page)
                mine, theirs = alternating_medians(lambda: agent.run(step), lambda: hand(page), args.runs)
                print(f"{size:>8} {step:<38} {mine:>9.1f} {theirs:>14.1f} {mine / theirs:>5.2f}x", flush=True)
    print(f"after: {load()}")


if __name__ == "__main__":
    main()

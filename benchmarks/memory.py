"""Memory of the test process over many steps: 1,000 steps on a 1,000-control page.

Prints the resident set size (VmRSS) of this process, which holds the engine,
after a warm-up and after the steps, every 250 steps in between. The three
step kinds alternate: a click, a visibility check and a spatial click.

    .venv/bin/python benchmarks/memory.py [--steps N] [--controls N]
"""

import argparse
import gc
import tempfile
from pathlib import Path

from backoffice import load, page_html

from vantle import WebAgent

STEPS = ('click "Button 100"', 'verify "Button 100" is visible', 'click checkbox left of "Order 1100"')


def rss_kib():
    with open("/proc/self/status", encoding="ascii") as status:
        for line in status:
            if line.startswith("VmRSS:"):
                return int(line.split()[1])
    raise RuntimeError("no VmRSS in /proc/self/status")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--steps", type=int, default=1000)
    parser.add_argument("--controls", type=int, default=1000)
    args = parser.parse_args()
    print(load())
    with tempfile.TemporaryDirectory() as tmp, WebAgent() as agent:
        page_file = Path(tmp) / "orders.html"
        page_file.write_text(page_html(args.controls), encoding="utf-8")
        agent.run(f"navigate {page_file.as_uri()}")
        for step in STEPS * 10:  # warm-up: caches, the driver's buffers
            agent.run(step)
        gc.collect()
        before = rss_kib()
        print(f"RSS before {args.steps} steps: {before / 1024:8.1f} MiB")
        for n in range(1, args.steps + 1):
            agent.run(STEPS[n % len(STEPS)])
            if n % 250 == 0 and n < args.steps:
                print(f"RSS after {n:>5} steps:  {rss_kib() / 1024:8.1f} MiB", flush=True)
        gc.collect()
        after = rss_kib()
        print(f"RSS after {args.steps} steps: {after / 1024:8.1f} MiB   growth {(after - before) / 1024:+.1f} MiB "
              f"({(after - before) / args.steps:.2f} KiB per step)")
        print(f"steps kept in the agent's record list: {len(agent._steps)}")
    print(load())


if __name__ == "__main__":
    main()

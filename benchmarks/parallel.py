"""Wall time of the example suite on one process and on several xdist workers.

Runs pytest in examples/ once without workers and once per worker count given,
and prints the wall times and the speed-up against the single process.

    .venv/bin/python benchmarks/parallel.py [--workers 2 [3 ...]]
"""

import argparse
import subprocess
import sys
import time
from pathlib import Path

EXAMPLES = Path(__file__).resolve().parent.parent / "examples"


def run_suite(workers):
    args = [sys.executable, "-m", "pytest", "-q", "-p", "no:cacheprovider"]
    if workers:
        args += ["-n", str(workers)]
    start = time.perf_counter()
    done = subprocess.run(args, cwd=EXAMPLES, capture_output=True, text=True)
    elapsed = time.perf_counter() - start
    summary = done.stdout.strip().splitlines()[-1] if done.stdout.strip() else "(no output)"
    return elapsed, done.returncode, summary


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--workers", type=int, nargs="+", default=[2])
    options = parser.parse_args()

    base, code, summary = run_suite(0)
    print(f"1 process   : {base:7.1f} s  exit {code}  {summary}")
    for n in options.workers:
        elapsed, code, summary = run_suite(n)
        print(f"{n} workers   : {elapsed:7.1f} s  exit {code}  {summary}  speed-up {base / elapsed:.2f}x")


if __name__ == "__main__":
    main()

"""Scan time of a page whose controls sit in embedded frames, against the
same controls in the page itself.

Each page holds --controls buttons, labelled inputs and paragraphs: all in
the top page, half of them in a same-origin iframe, or half of them in an
iframe from another site (another loopback address, so Chromium runs it in a
process of its own). Times are medians of --repeats batched scans: fresh
(nothing remembered) and remembered (unchanged page, answered from the
last scan's records).

    .venv/bin/python benchmarks/frames.py
    .venv/bin/python benchmarks/frames.py --controls 1000 --repeats 5
"""

import argparse
import functools
import http.server
import os
import statistics
import sys
import tempfile
import threading
import time
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent.parent / "tests"))

from conftest import CHROMIUM_ARGS, chromium_path  # noqa: E402
from playwright.sync_api import sync_playwright  # noqa: E402

from vantle.engine.browser.page_scanner import PageScanner, _ScanMemo  # noqa: E402


def controls(start, count):
    return "".join(f"<p>Row {i}</p><label for='f{i}'>Field {i}</label><input id='f{i}'>"
                   f"<button>Button {i}</button>" for i in range(start, start + count))


class Quiet(http.server.SimpleHTTPRequestHandler):
    def log_message(self, *args):
        pass


def serve(directory, host):
    handler = functools.partial(Quiet, directory=directory)
    httpd = http.server.ThreadingHTTPServer((host, 0), handler)
    threading.Thread(target=httpd.serve_forever, daemon=True).start()
    return f"http://{host}:{httpd.server_address[1]}"


def median_time(scan, repeats):
    times = []
    for _ in range(repeats):
        start = time.perf_counter()
        scan()
        times.append(time.perf_counter() - start)
    return statistics.median(times)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--controls", type=int, default=400)
    parser.add_argument("--repeats", type=int, default=7)
    args = parser.parse_args()
    n, half = args.controls, args.controls // 2
    with tempfile.TemporaryDirectory() as folder:
        Path(folder, "flat.html").write_text(f"<!doctype html><body>{controls(0, n)}</body>")
        Path(folder, "inner.html").write_text(f"<!doctype html><body>{controls(half, n - half)}</body>")
        here, there = serve(folder, "127.0.0.1"), serve(folder, "127.0.0.2")
        frame = "<iframe src='{}/inner.html' style='width: 900px; height: 600px'></iframe>"
        for name, src in (("same", here), ("other", there)):
            Path(folder, f"{name}.html").write_text(f"<!doctype html><body>{controls(0, half)}{frame.format(src)}</body>")
        print(f"load average {os.getloadavg()[0]:.2f}; {n} controls; median of {args.repeats} scans")
        with sync_playwright() as p:
            browser = p.chromium.launch(executable_path=chromium_path(), args=CHROMIUM_ARGS)
            page = browser.new_page(viewport={"width": 1280, "height": 720})
            flat = None
            for label, name in (("all in the page", "flat"), ("half in a same-origin frame", "same"),
                                ("half in another site's frame", "other")):
                page.goto(f"{here}/{name}.html")
                fresh = median_time(lambda: PageScanner(page, batched=True).extract_interactable_elements(),
                                    args.repeats)
                memo = _ScanMemo()
                memo.scan(page)
                remembered = median_time(lambda: memo.scan(page), args.repeats)
                flat = flat or fresh
                print(f"{label:30} fresh {fresh * 1000:7.1f} ms ({fresh / flat:4.2f}x)   "
                      f"remembered {remembered * 1000:6.1f} ms   reused {memo.reused}/{memo.scans}")
            browser.close()


if __name__ == "__main__":
    main()

"""Time to type into a plain field, a field behind a code editor and a
contenteditable editor, on real Chromium and a local page.

    .venv/bin/python benchmarks/rich_editors.py [--rounds 5]

Prints the median seconds per step and each editor's ratio to the plain field.
"""

import argparse
import functools
import http.server
import statistics
import threading
import time
from pathlib import Path

from vantle import WebAgent

PAGES = Path(__file__).resolve().parent.parent / "tests" / "pages"
STEPS = {
    "plain field": 'type Report into "Title"',
    "code editor": 'type "select 1" into "Query"',
    "contenteditable": 'type "Call back" into "Notes"',
}


class QuietHandler(http.server.SimpleHTTPRequestHandler):
    def log_message(self, *args):
        pass


def serve():
    handler = functools.partial(QuietHandler, directory=str(PAGES))
    httpd = http.server.ThreadingHTTPServer(("127.0.0.1", 0), handler)
    threading.Thread(target=httpd.serve_forever, daemon=True).start()
    return httpd


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--rounds", type=int, default=5)
    options = parser.parse_args()
    httpd = serve()
    url = f"http://127.0.0.1:{httpd.server_address[1]}/matching/editors.html"
    times = {name: [] for name in STEPS}
    with WebAgent(timeout_ms=5000) as agent:
        for _ in range(options.rounds):
            agent.run(f"navigate {url}")
            for name, instruction in STEPS.items():
                started = time.perf_counter()
                agent.run(instruction)
                times[name].append(time.perf_counter() - started)
    httpd.shutdown()
    plain = statistics.median(times["plain field"])
    for name, samples in times.items():
        median = statistics.median(samples)
        print(f"{name:16s}: {median:6.3f} s per step  ({median / plain:.2f}x the plain field)")


if __name__ == "__main__":
    main()

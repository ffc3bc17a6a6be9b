"""Scan time and browser calls per scan on generated pages, against the floor.

The floor is one plain in-page pass over the same facts (the same element
sets; text, box, visibility, enabled state, attributes and element path of
each) returning one JSON string: what any batched scan must at least cost.
Times are medians of --repeats scans, batched scans and floor passes taken in
turn; the load of the machine is printed.

    .venv/bin/python benchmarks/scan.py                      # batched and floor at 100, 1,000, 4,000;
                                                             # element by element at 100
    .venv/bin/python benchmarks/scan.py --sizes 100 1000     # some sizes
    .venv/bin/python benchmarks/scan.py --per-element-max 4000   # the slow path everywhere (minutes)

Pages hold about N interactable controls (buttons, links, labelled inputs,
selects, role=button pointer divs) with proportional text (headings,
paragraphs, table cells). A browser call is one Playwright method called on
the page or on an element handle.
"""

import argparse
import json
import os
import statistics
import sys
import time
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent.parent / "tests"))

from conftest import CHROMIUM_ARGS, chromium_path  # noqa: E402
from playwright.sync_api import sync_playwright  # noqa: E402

from vantle.engine.browser import page_scanner  # noqa: E402
from vantle.engine.browser.page_scanner import PageScanner  # noqa: E402

FLOOR_JS = r"""([sets, captured, textAttrs]) => {
  const paths = new Map();
  const pathOf = el => {
    let path = paths.get(el);
    if (path !== undefined) return path;
    const parent = el.parentElement;
    let idx = 1;
    for (let s = el.previousElementSibling; s; s = s.previousElementSibling) if (s.tagName === el.tagName) idx++;
    path = (parent ? pathOf(parent) : '') + '/' + el.tagName.toLowerCase() + '[' + idx + ']';
    paths.set(el, path);
    return path;
  };
  const fact = (el, names) => {
    const r = el.getBoundingClientRect();
    const attrs = names.map(n => el.getAttribute(n));
    for (const a of el.attributes) if (a.name.startsWith('data-')) attrs.push([a.name, a.value]);
    return [el.tagName.toLowerCase(), el.checkVisibility({visibilityProperty: true}), !el.disabled &&
      !el.closest('fieldset[disabled]') && el.getAttribute('aria-disabled') !== 'true', el.innerText,
      [r.x, r.y, r.width, r.height], attrs, pathOf(el)];
  };
  const out = sets.map((sel, k) => Array.from(document.querySelectorAll(sel), el => fact(el, k === 3 ? textAttrs : captured)));
  return JSON.stringify(out);
}"""

CALLS = ("query_selector_all", "query_selector", "evaluate", "is_visible", "is_enabled",
         "inner_text", "get_attribute", "bounding_box")


class Counting:
    """Wraps a page or element handle and counts the browser calls made through it."""

    def __init__(self, target, counter):
        self._target, self._counter = target, counter

    def __getattr__(self, name):
        value = getattr(self._target, name)
        if name not in CALLS:
            return value

        def call(*args, **kwargs):
            self._counter[0] += 1
            result = value(*args, **kwargs)
            if isinstance(result, list):
                return [self._wrap(r) for r in result]
            return self._wrap(result)

        return call

    def _wrap(self, result):
        # element handles are counted too; plain data passes through
        return Counting(result, self._counter) if hasattr(result, "bounding_box") else result


def page_html(controls):
    """About `controls` interactable controls in form sections, with text around them."""
    parts = ["<!doctype html><html><head><meta charset='utf-8'><style>",
             "body{font:14px sans-serif;margin:8px} .card{cursor:pointer;display:inline-block;padding:2px}",
             "section{margin:6px 0;border:1px solid #ccc} td{padding:2px 6px}</style></head><body>",
             "<h1>Generated store</h1>"]
    n = 0
    block = 0
    while n < controls:
        block += 1
        parts.append(f"<section id='s{block}'><h2>Section {block}</h2><p>Fill in the details of part {block}.</p>")
        parts.append(f"<label for='name{block}'>Name {block}</label><input id='name{block}' placeholder='Name'>")
        parts.append(f"<span>Email</span><input type='email' name='email{block}'>")
        parts.append(f"<select id='country{block}'><option>France</option><option>Peru</option></select>")
        parts.append(f"<button id='save{block}'>Save {block}</button> <a href='#s{block}'>Top {block}</a>")
        parts.append(f"<div role='button' class='card'>Card {block}</div>")
        parts.append(f"<table><tr><td>Price</td><td>${block}.00</td></tr></table>")
        parts.append(f"<ul><li><a href='#i{block}'>Item {block}</a></li></ul></section>")
        n += 7
    parts.append("</body></html>")
    return "".join(parts)


def scan_once(page, batched):
    """Seconds, browser calls, elements and texts of one scan."""
    counter = [0]
    scanner = PageScanner(Counting(page, counter), batched=batched)
    start = time.perf_counter()
    elements, texts = scanner.extract_interactable_elements()
    return time.perf_counter() - start, counter[0], len(elements), len(texts)


def floor_once(page):
    sets = [page_scanner.INTERACTABLE_SELECTOR, page_scanner._CUSTOM_INPUT_SELECTOR,
            page_scanner._LABEL_CANDIDATE_SELECTOR, page_scanner.TEXT_SELECTOR]
    arg = [sets, list(page_scanner.CAPTURED_ATTRIBUTES), ["id", "class", "href", "aria-label"]]
    start = time.perf_counter()
    json.loads(page.evaluate(FLOOR_JS, arg))
    return time.perf_counter() - start


def batched_and_floor(page, repeats):
    """Medians of batched scans and floor passes taken in turn, so that the
    load of the machine weighs on both alike; plus the last scan's counts."""
    scans, floors = [], []
    for _ in range(repeats):
        scan = scan_once(page, True)
        scans.append(scan[0])
        floors.append(floor_once(page))
    return (statistics.median(scans), *scan[1:]), statistics.median(floors)


def main():
    ap = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    ap.add_argument("--sizes", type=int, nargs="+", default=[100, 1000, 4000])
    ap.add_argument("--repeats", type=int, default=7, help="scans per size and path; medians are printed")
    ap.add_argument("--per-element-max", type=int, default=400,
                    help="largest size also scanned element by element (4,000 takes minutes)")
    ap.add_argument("--no-batched", action="store_true", help="only the element-by-element path")
    args = ap.parse_args()
    with sync_playwright() as p:
        browser = p.chromium.launch(executable_path=chromium_path(), args=CHROMIUM_ARGS)
        page = browser.new_page(viewport={"width": 1280, "height": 720})
        page.set_default_timeout(600_000)
        print(f"load average {' '.join(f'{x:.2f}' for x in os.getloadavg())} on {os.cpu_count()} cores; "
              f"medians of {args.repeats} scans (the element-by-element path: 1 scan)")
        print(f"{'controls':>8} {'path':>12} {'seconds':>9} {'calls':>7} {'elements':>8} {'texts':>6}", flush=True)
        for size in args.sizes:
            page.set_content(page_html(size))
            paths = []
            if size <= args.per_element_max:
                paths.append(False)
            if not args.no_batched:
                paths.append(True)
            timings = {}
            least = None
            for batched in paths:
                if batched:
                    (secs, calls, n_el, n_tx), least = batched_and_floor(page, args.repeats)
                else:
                    secs, calls, n_el, n_tx = scan_once(page, False)
                timings[batched] = secs
                name = "batched" if batched else "per-element"
                print(f"{size:>8} {name:>12} {secs:>9.3f} {calls:>7} {n_el:>8} {n_tx:>6}", flush=True)
            if len(timings) == 2:
                print(f"{size:>8} {'ratio':>12} {timings[False] / timings[True]:>9.1f}x", flush=True)
            if least is not None:
                print(f"{size:>8} {'floor':>12} {least:>9.3f}", flush=True)
                print(f"{size:>8} {'batch/floor':>12} {timings[True] / least:>9.2f}x", flush=True)
        print(f"load average {' '.join(f'{x:.2f}' for x in os.getloadavg())} after the run")
        browser.close()


if __name__ == "__main__":
    main()

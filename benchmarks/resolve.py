"""Resolution speed on synthetic page scans.

Run:  .venv/bin/python benchmarks/resolve.py [--sizes 1000 10000]

For every scan size and every instruction of each section it prints the time
of one resolution as a Python caller sees it (records converted on each call)
and, where the section can measure it, the time spent in the C++ core alone
(records converted once, then resolved repeatedly). Times are processor time
of this process, so other work on a shared machine inflates them less than it
would inflate wall-clock time.

Sections live in SECTIONS: a name mapped to a function that takes a Scan and
yields Case objects. Add a section by writing such a function and adding it
to SECTIONS.
"""

import argparse
import time
from dataclasses import dataclass
from typing import Callable, Iterator, Optional

from vantle.engine.agent.step_parser import StepParser
from vantle.engine.strategies import direct_strategy
from vantle.engine.strategies.direct_strategy import DirectStrategy

COLUMNS = 4
ROW_HEIGHT = 40
COLUMN_WIDTH = 300
MIN_SECONDS = 0.3


@dataclass
class Scan:
    """One synthetic page: element descriptors and text elements."""

    elements: list
    text_elements: list


@dataclass
class Case:
    instruction: str
    python: Callable[[], object]
    # Seconds per resolution in the core alone, given a repeat count; None when
    # the section has no such measure.
    core: Optional[Callable[[int], float]] = None


def _box(i):
    row, column = divmod(i, COLUMNS)
    return {"x": column * COLUMN_WIDTH + 0.5, "y": row * ROW_HEIGHT + 0.25, "width": 120.0, "height": 24.0}


def _descriptor(i, tag, text, attributes, visible=True):
    return {
        "tag": tag,
        "text": text,
        "attributes": attributes,
        "bounding_box": _box(i),
        "is_visible": visible,
        "is_enabled": True,
        "xpath": f"/html[1]/body[1]/main[1]/div[{i // COLUMNS + 1}]/{tag}[{i % COLUMNS + 1}]",
    }


def _filler_descriptor(i):
    kind = i % 5
    if kind == 0:
        return _descriptor(i, "button", f"Action {i}", {"class": f"btn btn-secondary css-{i:x}", "id": f"action-{i}"})
    if kind == 1:
        attrs = {"type": "text", "placeholder": f"Value {i}", "name": f"field{i}", "_label": f"Field {i}"}
        return _descriptor(i, "input", "", attrs)
    if kind == 2:
        return _descriptor(i, "a", f"Link number {i}", {"href": f"/page/{i}", "class": "nav-link"})
    if kind == 3:
        return _descriptor(i, "select", f"Option {i}", {"_label": f"Choice {i}", "data-qa-choice": "x"})
    return _descriptor(i, "button", "", {"class": "product-card", "aria-label": f"Product {i}"}, visible=i % 2 == 0)


# The elements the instructions name, placed at the end of the page so that
# every resolution walks the whole scan.
_NAMED = [
    ("button", "Login", {"id": "login-button"}),
    ("button", "Add to cart", {"class": "btn_inventory"}),
    ("button", "Add to cart", {"class": "btn_inventory"}),
    ("button", "Add to cart", {"class": "btn_inventory"}),
    ("input", "", {"type": "text", "_label": "Username", "id": "user-name"}),
    ("select", "Canada", {"_label": "Country"}),
    ("div", "Menu", {"role": "button"}),
    ("span", "Products", {"class": "title"}),
]

_NAMED_TEXTS = ["Welcome back", "Order number 1042", "Potential Returns", "$29.00", "Total", "$105.00", "Grand Total"]


def _text_element(i, text):
    return {
        "tag": "span" if i % 3 else "td",
        "text": text,
        "has_direct_text": True,
        "attributes": {"class": "cell"},
        "bounding_box": _box(i),
        "is_visible": True,
        "is_enabled": True,
        "xpath": f"/html[1]/body[1]/main[1]/div[{i // COLUMNS + 1}]/span[{i % COLUMNS + 1}]",
    }


def synthetic_scan(size):
    """A page of `size` element descriptors and as many text elements."""
    fillers = size - len(_NAMED)
    elements = [_filler_descriptor(i) for i in range(fillers)]
    elements += [_descriptor(fillers + k, tag, text, attrs) for k, (tag, text, attrs) in enumerate(_NAMED)]
    texts = [_text_element(i, f"Description of item {i}") for i in range(size - len(_NAMED_TEXTS) - 2)]
    base = len(texts)
    # "Potential Returns" and "$29.00" share a row; "Total" sits above "$105.00".
    base += COLUMNS - base % COLUMNS
    placed = [(base, "Welcome back"), (base + 1, "Order number 1042"), (base + 4, "Potential Returns"),
              (base + 5, "$29.00"), (base + 8, "Total"), (base + 12, "$105.00"), (base + 16, "Grand Total")]
    texts += [_text_element(i, t) for i, t in placed]
    return Scan(elements, texts)


DIRECT_INSTRUCTIONS = [
    'click "Login"',
    'click second "Add to cart"',
    'type standard_user into "Username"',
    'select Canada from "Country"',
    'hover "Menu"',
    'click "Nowhere to be found"',
    'verify "Products" is present',
    'verify the Login button is enabled',
    'verify text "Welcome back" is visible',
    'find text Total',
    'find exact text Grand Total',
    'extract text from "Order number"',
    'verify text next to "Potential Returns" is $29.00',
    'extract text below "Total"',
]


def direct_cases(scan: Scan) -> Iterator[Case]:
    parser, strategy = StepParser(), DirectStrategy()
    for instruction in DIRECT_INSTRUCTIONS:
        record = parser.parse(instruction)

        def python(record=record):
            return strategy.resolve(record, scan.elements, scan.text_elements)

        def core(repeats, record=record):
            return direct_strategy._time_core_resolve(record, scan.elements, scan.text_elements, repeats)

        yield Case(instruction, python, core)


SECTIONS: dict = {"direct": direct_cases}


def seconds_per_call(fn):
    """Mean processor time of one call over enough calls to fill MIN_SECONDS."""
    start = time.process_time()
    fn()
    once = max(time.process_time() - start, 1e-4)
    repeats = max(3, int(MIN_SECONDS / once))
    start = time.process_time()
    for _ in range(repeats):
        fn()
    return (time.process_time() - start) / repeats


def core_seconds(core):
    once = max(core(1), 1e-4)
    return core(max(3, int(MIN_SECONDS / once)))


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--sizes", type=int, nargs="+", default=[1_000, 10_000])
    parser.add_argument("--sections", nargs="+", default=list(SECTIONS), choices=list(SECTIONS))
    args = parser.parse_args()
    for size in args.sizes:
        scan = synthetic_scan(size)
        print(f"\n{size:,} element descriptors + {len(scan.text_elements):,} text elements")
        print(f"  {'instruction':<52} {'python ms':>10} {'core ms':>9} {'resolved':>9}")
        for section in args.sections:
            print(f"  [{section}]")
            for case in SECTIONS[section](scan):
                result = case.python()
                py_ms = seconds_per_call(case.python) * 1e3
                core_ms = f"{core_seconds(case.core) * 1e3:9.3f}" if case.core else f"{'-':>9}"
                print(f"  {case.instruction:<52} {py_ms:10.3f} {core_ms} {str(result['resolved']):>9}")


# Spatial resolution. The agent builds the matrix once per page scan and
# resolves against it, so the build has a row of its own; the resolver reads
# the matrix into the core on its first call ("first resolve" row, a new
# resolver each time) and later calls reuse it. Targets are those of the
# parsed record, e.g. 'click first button next to "Potential Returns"' gives
# 'button next to Potential Returns'.
SPATIAL_TARGETS = [
    "button next to Potential Returns",
    "select right of Potential Returns",
    "input above Total",
    "input near Welcome back",
    "link below Action 0",
    "second Add to cart button",
    "button next to Nowhere to be found",
]


def spatial_cases(scan: Scan) -> Iterator[Case]:
    from vantle.engine.spatial import layout_builder
    from vantle.engine.spatial.layout_builder import LayoutBuilder
    from vantle.engine.spatial.layout_resolver import LayoutResolver

    def build():
        return {"resolved": bool(LayoutBuilder(scan.elements, scan.text_elements).build())}

    def build_core(repeats):
        return layout_builder._time_core_build(scan.elements, scan.text_elements, repeats)

    yield Case("(build the matrix)", build, build_core)
    matrix = LayoutBuilder(scan.elements, scan.text_elements).build()
    yield Case("(first resolve: reads the matrix)",
               lambda: LayoutResolver(matrix).resolve({"target": SPATIAL_TARGETS[0]}))
    resolver = LayoutResolver(matrix)
    for target in SPATIAL_TARGETS:
        record = {"action": "click", "target": target}

        def python(record=record):
            return resolver.resolve(record)

        def core(repeats, record=record):
            return resolver._time_core_resolve(record, repeats)

        yield Case(target, python, core)


SECTIONS["spatial"] = spatial_cases


if __name__ == "__main__":
    main()

"""Prints how long building the spatial matrix and resolving spatial targets
take on synthetic pages of 1,000 and 10,000 elements: through Python (the
extension modules, records converted at the boundary) and in the C++ core
alone (compiled here with g++ from core/src)."""

import json
import os
import shutil
import subprocess
import sys
import tempfile
import time
from pathlib import Path

from vantle.engine.spatial.layout_builder import LayoutBuilder
from vantle.engine.spatial.layout_resolver import LayoutResolver

ROOT = Path(__file__).resolve().parent.parent
SIZES = [1_000, 10_000]
ROW_HEIGHT = 45


def page(n):
    """A table of rows (name, quantity field, Edit, Delete, View): four
    interactable elements and one text element per row."""
    dom, texts = [], []
    rows = n // 5
    for i in range(rows):
        y = 100 + i * ROW_HEIGHT
        path = f"/html[1]/body[1]/table[1]/tbody[1]/tr[{i + 1}]"
        texts.append(_record("td", f"Customer {i}", 10, y, 150, 30, f"{path}/td[1]"))
        dom.append(_record("input", "", 180, y, 80, 30, f"{path}/td[2]/input[1]", placeholder=f"Qty {i}", type="number"))
        dom.append(_record("button", "Edit", 280, y, 60, 30, f"{path}/td[3]/button[1]"))
        dom.append(_record("button", "Delete", 350, y, 60, 30, f"{path}/td[3]/button[2]"))
        dom.append(_record("a", "View", 420, y, 50, 30, f"{path}/td[4]/a[1]", href="#"))
    return dom, texts


def _record(tag, text, x, y, w, h, xpath, **attrs):
    return {
        "tag": tag, "text": text, "attributes": attrs,
        "bounding_box": {"x": x, "y": y, "width": w, "height": h},
        "is_visible": True, "is_enabled": True, "xpath": xpath,
    }


def targets(n):
    mid = n // 10
    return [
        f"button next to Customer {mid}",
        f"second button next to Customer {mid}",
        f"Delete button next to Customer {mid}",
        f"link below Customer {mid}",
        f"input near Customer {mid}",
        f"button above Qty {mid}",
        "third Delete button",
        "second View link",
    ]


def per_call(fn, repeat):
    start = time.perf_counter()
    for _ in range(repeat):
        fn()
    return (time.perf_counter() - start) / repeat


def python_figures(n, repeat):
    dom, texts = page(n)
    build = per_call(lambda: LayoutBuilder(dom, texts).build(), max(1, repeat // 10))
    matrix = LayoutBuilder(dom, texts).build()
    start = time.perf_counter()
    resolver = LayoutResolver(matrix)
    resolver.resolve({"target": "first button"})
    first = time.perf_counter() - start
    print(f"\n{n} elements, through Python")
    print(f"  build                          {build * 1e3:9.2f} ms")
    print(f"  first resolve (reads matrix)   {first * 1e3:9.2f} ms")
    for target in targets(n):
        t = per_call(lambda: resolver.resolve({"target": target}), repeat)
        found = resolver.resolve({"target": target})["resolved"]
        print(f"  resolve {t * 1e6:9.1f} us  {'found' if found else 'none '}  {target}")
    return dom, texts


def core_binary(workdir):
    cxx = shutil.which(os.environ.get("CXX", "g++"))
    if not cxx:
        return None
    flags = subprocess.run(["pkg-config", "--cflags", "--libs", "libutf8proc"], capture_output=True, text=True)
    sources = sorted(str(p) for p in (ROOT / "core/src/spatial").glob("*.cpp")) + sorted(
        str(p) for p in (ROOT / "core/src/text").glob("*.cpp"))
    out = workdir / "resolve_spatial_core"
    cmd = [cxx, "-O2", "-std=c++17", f"-I{ROOT / 'core/include'}", *sources,
           str(ROOT / "benchmarks/resolve_spatial_core.cpp"), "-o", str(out), *flags.stdout.split()]
    built = subprocess.run(cmd, capture_output=True, text=True)
    if built.returncode != 0:
        print(built.stderr, file=sys.stderr)
        return None
    return out


def core_figures(binary, n, dom, texts, repeat, workdir):
    scan = workdir / f"scan_{n}.json"
    scan.write_text(json.dumps({"dom": dom, "text": texts, "targets": targets(n)}))
    run = subprocess.run([str(binary), str(scan), str(repeat)], capture_output=True, text=True, check=True)
    print(f"{n} elements, C++ core")
    for line in run.stdout.splitlines():
        kind, value, unit, *rest = line.split(" ", 3)
        label = {"build": "build", "prepare": "prepare (lower-case, normalise)"}.get(kind)
        if label:
            print(f"  {label:30} {float(value):9.2f} {unit}")
        else:
            print(f"  resolve {float(value):9.1f} us  {' '.join(rest)}")


def main():
    with tempfile.TemporaryDirectory() as tmp:
        workdir = Path(tmp)
        binary = core_binary(workdir)
        for n in SIZES:
            repeat = 200 if n <= 1_000 else 20
            dom, texts = python_figures(n, repeat)
            if binary:
                core_figures(binary, n, dom, texts, repeat, workdir)
            else:
                print("  (C++ core figures skipped: no C++ compiler)")


if __name__ == "__main__":
    main()

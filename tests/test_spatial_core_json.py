"""C++ callers holding a scan as JSON reach the same matrix and the same
resolutions as Python callers: records read by the JSON codec are placed by the
spatial core in a small program and compared with the extension modules."""

import json
import subprocess

import core_programs
import pytest

from vantle.engine.spatial.layout_builder import LayoutBuilder
from vantle.engine.spatial.layout_resolver import LayoutResolver


@pytest.fixture(scope="module")
def program(tmp_path_factory):
    return core_programs.build(tmp_path_factory, "spatial_json", ["spatial", "text", "language", "records"])


def el(tag, text, x, y, w=60, h=30, xpath="", **attrs):
    return {"tag": tag, "text": text, "attributes": attrs,
            "bounding_box": {"x": x, "y": y, "width": w, "height": h},
            "is_visible": True, "is_enabled": True, "xpath": xpath}


DOM = [
    el("button", "Edit", 300, 100.5, xpath="/html[1]/body[1]/tr[1]/button[1]"),
    el("button", "Edit", 300, 145, xpath="/html[1]/body[1]/tr[2]/button[1]"),
    el("input", "", 150, 145, type="text", _label="Qty", placeholder="0"),
    el("div", "Menu", 10, 10, role="button"),
    el("a", "Ünïcødé link", 150, 300),
    {"tag": "button", "text": "No box", "attributes": {}},
    el("input", "", 10, 400, type="submit", name="go") | {"is_enabled": False},
    {"tag": None, "text": None, "attributes": None, "bounding_box": {"x": 5}},
]
TEXTS = [
    {"tag": "td", "text": "Ada", "has_direct_text": True, "attributes": {"_label": "x"},
     "bounding_box": {"x": 10, "y": 100.5, "width": 100, "height": 30}, "xpath": "/html[1]/body[1]/tr[1]/td[1]"},
    {"tag": "td", "text": "Erin Li", "has_direct_text": True, "attributes": {"role": 3, "name": None},
     "bounding_box": {"x": 10, "y": 145, "width": 100, "height": 30}, "xpath": "/html[1]/body[1]/tr[2]/td[1]"},
]
TARGETS = ["button next to Erin Li", "input near ada", "link below qty", "second edit button", "3rd",
           "button left of edit", "menu", "input above ünïcødé link", "field right of erin li"]


def test_json_callers_get_the_same_matrix_and_resolutions(program):
    scan = {"dom": DOM, "text": TEXTS, "targets": TARGETS}
    run = subprocess.run([str(program)], input=json.dumps(scan), capture_output=True, text=True, check=True)
    core = json.loads(run.stdout)

    matrix = LayoutBuilder(DOM, TEXTS).build()
    assert core["matrix"] == json.loads(json.dumps(matrix))
    resolver = LayoutResolver(matrix)
    expected = []
    for target in TARGETS:
        r = resolver.resolve({"target": target})
        expected.append(next(e["index"] for e in matrix if e["element"] is r["element"]) if r["resolved"] else None)
    assert core["resolved"] == expected
    assert expected.count(None) < len(TARGETS) // 2


def test_json_records_of_the_wrong_kind_are_refused(program):
    scan = {"dom": [el("button", "x", 0, 0) | {"bounding_box": {"x": "1"}}], "text": [], "targets": []}
    run = subprocess.run([str(program)], input=json.dumps(scan), capture_output=True, text=True)
    assert run.returncode != 0 and "'x' must be a number" in run.stderr

"""Element records read and written back: the JSON codec keeps a record as it
came (key order, attributes it does not know), the Python codec hands back the
caller's very dicts, and both refuse the same records of the wrong kind."""

import json
import subprocess

import core_programs
import pytest

from vantle import _agent
from vantle.engine.spatial.layout_builder import LayoutBuilder
from vantle.engine.spatial.layout_resolver import LayoutResolver
from vantle.engine.strategies.direct_strategy import DirectStrategy

@pytest.fixture(scope="module")
def codec(tmp_path_factory):
    out = core_programs.build(tmp_path_factory, "records_json", ["records", "text", "language"])

    def run(records):
        done = subprocess.run([str(out)], input=json.dumps(records), capture_output=True, text=True, check=True)
        return json.loads(done.stdout, object_pairs_hook=lambda kv: [[k, v] for k, v in kv])

    return run


def button(text="Save", **attributes):
    return {"tag": "button", "text": text, "attributes": {"class": "btn", **attributes},
            "bounding_box": {"x": 10, "y": 20.5, "width": 80, "height": 24}, "is_visible": True,
            "is_enabled": True, "xpath": "/html[1]/body[1]/button[1]"}


TEXT = {"tag": "td", "text": "Ada", "has_direct_text": True, "attributes": {"id": "c1"},
        "bounding_box": {"x": 0, "y": 0, "width": 40, "height": 20}, "is_visible": True, "is_enabled": True,
        "xpath": "/html[1]/body[1]/table[1]/tr[1]/td[1]"}

KEPT = [
    pytest.param(button(), id="descriptor"),
    pytest.param(TEXT, id="text element"),
    pytest.param(button() | {"is_editable_field": True, "xpath": "/x"}, id="custom input"),
    pytest.param(button(_label="Name", _icon="true", _text_box="1,2,3,4", _frame=2), id="internal attributes"),
    pytest.param(button(**{"data-row": {"id": 7}, "aria-hidden": None}), id="attribute values of other kinds"),
    pytest.param({"xpath": "/a", "later": [1, "x"], "text": "Go", "tag": None}, id="own order and unknown keys"),
    pytest.param({"bounding_box": {"x": None, "y": 1.25}, "attributes": {}}, id="null coordinate"),
    pytest.param({}, id="empty"),
]


def pairs(value):
    """A JSON value with every object as a list of [key, value] pairs, as the codec program prints them."""
    if isinstance(value, dict):
        return [[k, pairs(v)] for k, v in value.items()]
    if isinstance(value, list):
        return [pairs(v) for v in value]
    return value


@pytest.mark.parametrize("record", KEPT)
def test_json_records_come_back_as_they_came(codec, record):
    (out,) = codec([record])
    assert out == [["record", pairs(record)]]


@pytest.mark.parametrize("record", KEPT)
def test_the_agent_path_hands_back_the_scanned_record(record):
    # The agent reads scans as JSON: the element it answers with is the
    # scanned record, key order and unknown attributes included.
    record = {**record, "text": "Save"}
    result = _agent._resolve_direct({"action": "find_text", "target": "save"}, [], [record])
    assert result["element"] == record
    assert list(result["element"]) == list(record)
    assert list(result["element"].get("attributes") or {}) == list(record.get("attributes") or {})


# Records of the wrong kind, and the key each error names.
WRONG = [
    pytest.param({"text": 5}, "'text'", id="text"),
    pytest.param({"tag": ["button"]}, "'tag'", id="tag"),
    pytest.param({"attributes": ["class"]}, "'attributes'", id="attributes"),
    pytest.param({"attributes": {"class": 5}}, "'class'", id="read attribute"),
    pytest.param({"bounding_box": [0, 0, 1, 1]}, "'bounding_box'", id="box"),
    pytest.param({"bounding_box": {"x": "0"}}, "'x'", id="coordinate"),
]


@pytest.mark.parametrize("record, key", WRONG)
def test_every_reader_refuses_the_same_records(codec, record, key):
    record = {"text": "Save", **record}
    (out,) = codec([record])
    if key != "'class'":  # the codec alone reads no attribute; its readers name theirs
        assert out[0][0] == "error" and key in out[0][1]
    with pytest.raises(TypeError, match=key):
        DirectStrategy().resolve({"action": "click", "target": "save"}, [record])
    with pytest.raises(TypeError, match=key):
        _agent._resolve_direct({"action": "click", "target": "save"}, [record], [])
    if key != "'class'":  # layout does not read it
        with pytest.raises(TypeError, match=key):
            LayoutBuilder([record | {"bounding_box": record.get("bounding_box", {"x": 0, "y": 0})}]).build()


@pytest.mark.parametrize("value", [3, None, {"a": 1}, ["x"]])
def test_attributes_no_reader_reads_may_hold_anything(codec, value):
    record = button(**{"data-state": value, "_frame": value})
    (out,) = codec([record])
    assert out[0][0] == "record"
    result = DirectStrategy().resolve({"action": "click", "target": "save"}, [record])
    assert result["element"] is record


def test_a_record_may_not_have_names_other_than_text():
    with pytest.raises(TypeError, match="attribute name"):
        DirectStrategy().resolve({"action": "click", "target": "save"}, [button() | {"attributes": {1: "x"}}])


@pytest.mark.parametrize("truth, expected", [(True, True), (1, True), ("yes", True), ([0], True),
                                             (False, False), (0, False), ("", False), ([], False), (None, False)])
def test_truth_is_read_alike_on_every_path(truth, expected):
    record = button() | {"is_enabled": truth}
    by_python = DirectStrategy().resolve({"action": "verify_enabled", "target": "save"}, [record])
    by_json = _agent._resolve_direct({"action": "verify_enabled", "target": "save"}, [record], [])
    assert by_python["verified"] is by_json["verified"] is expected
    entry, = LayoutBuilder([record]).build()
    assert entry["is_enabled"] is expected


def test_results_hold_the_callers_own_dicts():
    first, second = button("Go"), button("Go") | {"bounding_box": {"x": 0, "y": 90, "width": 8, "height": 8}}
    result = DirectStrategy().resolve({"action": "click", "target": "go"}, [second, first])
    assert result["element"] is first and all(a is b for a, b in zip(result["candidates"], [first, second]))
    label = {"tag": "span", "text": "Name", "attributes": {},
             "bounding_box": {"x": 0, "y": 0, "width": 40, "height": 20}, "xpath": "/l"}
    matrix = LayoutBuilder([first], [label]).build()
    assert matrix[0]["element"] is label or matrix[1]["element"] is label
    beside = button("Go") | {"bounding_box": {"x": 100, "y": 0, "width": 40, "height": 20}}
    found = LayoutResolver(LayoutBuilder([beside], [label]).build()).resolve({"target": "button right of Name"})
    assert found["element"] is beside and found["candidates"][0] is beside

"""The spatial matrix builder: placement in reading order, element types,
searchable text, and the records it hands back."""

import pytest

from vantle.engine.spatial.layout_builder import (
    LayoutBuilder,
    _element_type,
    _position,
    _searchable,
)

ENTRY_KEYS = [
    "index", "tag", "element_type", "text", "label", "searchable",
    "is_enabled", "is_anchor_only", "order_in_type", "position", "element",
]


def el(tag="button", text="", x=0, y=0, w=10, h=10, **attrs):
    return {
        "tag": tag,
        "text": text,
        "attributes": attrs,
        "bounding_box": {"x": x, "y": y, "width": w, "height": h},
        "is_visible": True,
        "is_enabled": True,
        "xpath": f"/html[1]/body[1]/{tag}[1]",
    }


def txt(text, x=0, y=0, w=10, h=10, **attrs):
    return {
        "tag": "span",
        "text": text,
        "has_direct_text": True,
        "attributes": attrs,
        "bounding_box": {"x": x, "y": y, "width": w, "height": h},
        "is_visible": True,
        "is_enabled": True,
        "xpath": "/html[1]/body[1]/span[1]",
    }


class TestPlacement:
    @pytest.mark.parametrize("box", [None, {}, "missing"])
    def test_elements_without_a_box_are_left_out(self, box):
        e = el(text="Go")
        if box == "missing":
            del e["bounding_box"]
        else:
            e["bounding_box"] = box
        assert LayoutBuilder([e], [txt("x") | {"bounding_box": None}]).build() == []

    def test_nothing_in_gives_nothing_out(self):
        assert LayoutBuilder([]).build() == []

    def test_reading_order_uses_the_raw_top_edge(self):
        low, high = el(text="low", x=10, y=100), el(text="high", x=500, y=99)
        matrix = LayoutBuilder([low, high]).build()
        assert [e["element"] for e in matrix] == [high, low]
        assert [e["index"] for e in matrix] == [0, 1]

    def test_equal_corners_keep_interactables_first_then_input_order(self):
        t, b1, b2 = txt("T", x=5, y=5), el(text="B1", x=5, y=5), el(text="B2", x=5, y=5)
        matrix = LayoutBuilder([b1, b2], [t]).build()
        assert [e["element"] for e in matrix] == [b1, b2, t]

    def test_order_in_type_counts_each_type_separately(self):
        dom = [
            el("button", "b1", y=0), el("a", "l1", y=10), el("button", "b2", y=20),
            el("a", "l2", y=40), el("button", "b3", y=50),
        ]
        matrix = LayoutBuilder(dom, [txt("between", y=30)]).build()
        assert [(e["element_type"], e["order_in_type"]) for e in matrix] == [
            ("button", 1), ("link", 1), ("button", 2), ("text", 1),
            ("link", 2), ("button", 3),
        ]

    def test_fractional_coordinates_sort_by_value(self):
        a, b = el(text="a", x=0, y=10.75), el(text="b", x=0, y=10.5)
        assert [e["element"] for e in LayoutBuilder([a, b]).build()] == [b, a]


class TestEntries:
    def test_interactable_entry_fields_and_key_order(self):
        e = el("input", "", x=3, y=4, w=20, h=6, type="text", _label="Email", placeholder="you@x")
        e["is_enabled"] = False
        (entry,) = LayoutBuilder([e]).build()
        assert list(entry) == ENTRY_KEYS
        assert entry["element"] is e
        assert entry["tag"] == "input" and entry["element_type"] == "input"
        assert entry["label"] == "Email"
        assert entry["searchable"] == "Email you@x"
        assert entry["is_enabled"] is False and entry["is_anchor_only"] is False
        assert entry["position"] == {"x": 3, "y": 4, "w": 20, "h": 6, "cx": 13.0, "cy": 7.0, "x2": 23, "y2": 10}

    def test_text_entry_is_anchor_only_and_searches_its_text_only(self):
        t = txt("Total", _label="Sum")
        (entry,) = LayoutBuilder([], [t]).build()
        assert list(entry) == ENTRY_KEYS
        assert entry["element"] is t
        assert entry["element_type"] == "text"
        assert entry["label"] == "Sum" and entry["searchable"] == "Total"
        assert entry["is_enabled"] is True and entry["is_anchor_only"] is True

    def test_absent_keys_take_their_defaults(self):
        e = {"bounding_box": {"x": 1}}
        (entry,) = LayoutBuilder([e]).build()
        assert entry["tag"] == "" and entry["text"] == "" and entry["label"] == ""
        assert entry["element_type"] == "" and entry["searchable"] == ""
        assert entry["is_enabled"] is True
        assert entry["position"] == {"x": 1, "y": 0, "w": 0, "h": 0, "cx": 1.0, "cy": 0.0, "x2": 1, "y2": 0}

    def test_numbers_keep_their_kind(self):
        pos = _position({"x": 1, "y": 2.5, "width": 3, "height": 4})
        assert [type(pos[k]) for k in ("x", "y", "w", "h", "x2", "y2", "cx", "cy")] == [
            int, float, int, int, int, float, float, float,
        ]

    def test_unicode_text_is_kept_exactly(self):
        e = el(text="Ünïcødé 😀 \ud800", placeholder="ΣΊΣΥΦΟΣ")
        (entry,) = LayoutBuilder([e]).build()
        assert entry["text"] == "Ünïcødé 😀 \ud800"
        assert entry["searchable"] == "Ünïcødé 😀 \ud800 ΣΊΣΥΦΟΣ"

    def test_each_build_makes_new_entries_over_the_same_elements(self):
        b = LayoutBuilder([el(text="x")])
        first, second = b.build(), b.build()
        assert first == second and first[0] is not second[0]
        assert first[0]["position"] is not second[0]["position"]
        assert first[0]["element"] is second[0]["element"]


class TestElementType:
    @pytest.mark.parametrize(
        "tag, attrs, expected",
        [
            ("input", {"type": "submit"}, "button"),
            ("input", {"type": "reset"}, "button"),
            ("input", {"type": "checkbox"}, "input"),
            ("div", {"role": "button"}, "button"),
            ("div", {"role": "menuitem"}, "div"),
            ("textarea", {}, "input"),
            ("select", {"role": "combobox"}, "combobox"),
            ("input", {"role": "textbox", "type": "submit"}, "textbox"),
            ("a", {}, "link"),
            ("span", {}, "span"),
            ("BUTTON", {}, "BUTTON"),
        ],
    )
    def test_role_then_input_type_then_tag(self, tag, attrs, expected):
        assert _element_type(el(tag, **attrs)) == expected


class TestSearchable:
    def test_no_deduplication(self):
        e = el(text="Save", _label="Save", name="save")
        assert _searchable(e) == "Save Save save"

    def test_order_and_empty_parts_dropped(self):
        e = el(text="", name="n", placeholder="p", **{"aria-label": "a", "_label": ""})
        assert _searchable(e) == "a p n"

    def test_surrounding_white_space_trimmed(self):
        assert _searchable(el(text="  Go ", name="\tnow\n")) == "Go  \tnow"


class TestInputs:
    @pytest.mark.parametrize("text_elements", [None, [], ()])
    def test_no_text_elements_read_as_an_empty_list(self, text_elements):
        b = LayoutBuilder([el()], text_elements)
        assert b.text_elements == []
        assert len(b.build()) == 1

    def test_inputs_are_kept_as_given(self):
        dom, texts = [el()], [txt("x")]
        b = LayoutBuilder(dom, texts)
        assert b.dom_elements is dom and b.text_elements is texts
        b.build()
        assert dom == [el()] and texts == [txt("x")]

    @pytest.mark.parametrize("dom, texts, name", [
        ({"a": 1}, None, "dom_elements"),
        ("button", None, "dom_elements"),
        (None, None, "dom_elements"),
        ([], {"a": 1}, "text_elements"),
        ([], 5, "text_elements"),
    ])
    def test_non_sequences_are_type_errors(self, dom, texts, name):
        with pytest.raises(TypeError, match=name):
            LayoutBuilder(dom, texts)

    @pytest.mark.parametrize("element, key", [
        (el() | {"bounding_box": {"x": "10", "y": 0}}, "'x'"),
        (el() | {"bounding_box": {"x": 0, "y": None}}, "'y'"),
        (el() | {"attributes": ["role"]}, "'attributes'"),
        (el() | {"bounding_box": [1, 2]}, "'bounding_box'"),
        (el() | {"text": 5}, "'text'"),
        ("not a record", "dom_elements"),
    ])
    def test_malformed_records_raise_type_errors_naming_the_key(self, element, key):
        with pytest.raises(TypeError, match=key):
            LayoutBuilder([element]).build()

    def test_a_text_element_is_read_only_for_what_the_matrix_needs(self):
        t = txt("x") | {"is_enabled": "odd", "xpath": 7}
        t["attributes"]["role"] = 3
        (entry,) = LayoutBuilder([], [t]).build()
        assert entry["is_enabled"] is True

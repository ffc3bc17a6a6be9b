"""Records built from the facts a batched scan's in-page pass returns, without
a browser: a stand-in page answers the one evaluate call with given facts."""

import gc
import json

import pytest

from vantle.engine.browser.page_scanner import CAPTURED_ATTRIBUTES, PageScanner


class Answering:
    """A page whose only in-page call answers with the given text."""

    def __init__(self, answer):
        self.answer = answer

    def evaluate(self, script, *args):
        return self.answer


def captured(**values):
    """The listed attributes present, as the page sends them: position, value, ..."""
    out = []
    for at, name in enumerate(CAPTURED_ATTRIBUTES):
        if name.replace("-", "_") in values:
            out += [at, values[name.replace("-", "_")]]
    return out


def facts(i=(), c=(), p=None, l=(), t=()):
    return json.dumps({"i": list(i), "c": list(c), "p": p, "l": list(l), "t": list(t)})


def scan(answer):
    return PageScanner(Answering(answer), batched=True).extract_interactable_elements()


SAVE = [True, True, "button", "  Save\n", None, [10, 20.5, 80, -3], captured(id="save", data_testid="old"),
        [["data-testid", "new"], ["data-x", "1"]], "/html[1]/body[1]/button[1]", None, None, None]
EMAIL = [True, False, "input", "", "typed", [10, 100, 200, 24], captured(type="email"), [],
         "/html[1]/body[1]/input[1]", ["", "  ", " Email address ", None], None, None]
TICK = [False, True, "input", "", None, [0, 300, 12, 12], captured(type="checkbox", aria_label="Agree"), [],
        "/html[1]/body[1]/input[2]", [None, "Agree"], None, True]
WRAPPER = ["div", "Hello world", [0, 200, 500, 100], "/html[1]/body[1]/div[1]", [], [], False, None]
HELLO = ["p", " Hello ", [0, 200, 100, 20.25], "/html[1]/body[1]/div[1]/p[1]", [0, "intro"],
         [["data-k", "v"]], True, "1,2,3,4"]


def test_records_from_facts_keep_key_order_and_number_forms():
    elements, texts = scan(facts(i=[SAVE, EMAIL, TICK], l=[["Actions", [10, 0, 50, 15]], ["Actions", [300, 0, 9, 9]],
                                                             ["x" * 61, [10, 5, 50, 10]]],
                                 t=[WRAPPER, HELLO]))
    expected_elements = [
        {"tag": "button", "text": "Save", "attributes": {"id": "save", "data-testid": "new", "data-x": "1",
                                                         "_label": "Actions"},
         "bounding_box": {"x": 10, "y": 20.5, "width": 80, "height": -3}, "is_visible": True, "is_enabled": True,
         "xpath": "/html[1]/body[1]/button[1]"},
        {"tag": "input", "text": "typed", "attributes": {"type": "email", "_label": "Email address"},
         "bounding_box": {"x": 10, "y": 100, "width": 200, "height": 24}, "is_visible": True, "is_enabled": False,
         "xpath": "/html[1]/body[1]/input[1]"},
        {"tag": "input", "text": "", "attributes": {"type": "checkbox", "aria-label": "Agree", "_checked": "true",
                                                    "_label": "Agree"},
         "bounding_box": {"x": 0, "y": 300, "width": 12, "height": 12}, "is_visible": False, "is_enabled": True,
         "xpath": "/html[1]/body[1]/input[2]"},
    ]
    expected_texts = [
        {"tag": "p", "text": "Hello", "has_direct_text": True,
         "attributes": {"id": "intro", "data-k": "v", "_text_box": "1,2,3,4"},
         "bounding_box": {"x": 0, "y": 200, "width": 100, "height": 20.25}, "is_visible": True, "is_enabled": True,
         "xpath": "/html[1]/body[1]/div[1]/p[1]"},
    ]
    # json.dumps tells 10 from 10.0 and shows key order.
    assert json.dumps(elements) == json.dumps(expected_elements)
    assert json.dumps(texts) == json.dumps(expected_texts)


def test_numbers_read_back_exactly():
    coords = [0.1 + 0.2, 1e-7, 123456.78901234567, 2 ** 53 + 2]
    text = ["p", "x", coords, "/p[1]", [], [], True, None]
    _, texts = scan(facts(t=[text]))
    assert list(texts[0]["bounding_box"].values()) == coords
    assert type(texts[0]["bounding_box"]["height"]) is int


def test_many_distinct_attribute_names_all_come_through():
    pairs = [[f"data-n{k}", str(k)] for k in range(3000)]
    _, texts = scan(facts(t=[["p", "x", [0, 0, 1, 1], "/p[1]", [], pairs, True, None]] * 2))
    for record in texts:
        assert list(record["attributes"].items()) == [tuple(p) for p in pairs]


@pytest.mark.parametrize("answer", [
    '{"i": [',                                                    # cut short
    "[]",                                                         # not an object
    '{"c": [], "p": null, "l": [], "t": []}',                    # a group missing
    facts(i=[[True, True, "button"]]),                            # a record cut short
    facts(i=[[True, True, 7] + SAVE[3:]]),                        # a tag that is no text
    facts(i=[["yes"] + SAVE[1:]]),                                # visibility that is no truth value
    facts(i=[SAVE[:6] + [[0, "a", 2]] + SAVE[7:]]),               # a position without its value
    facts(i=[SAVE[:6] + [[13, "a"]] + SAVE[7:]]),                 # a position past the list
    facts(i=[SAVE[:6] + [[-1, "a"]] + SAVE[7:]]),
    facts(l=[["Name", [0, None, 10, 10]]]),                      # a label box without a number
    facts(t=[["p", "x", [0, 0, "1", 1], "/p[1]", [], [], True, None]]),
    facts(t=[["p", "x", [0, 0, 1, 1], "/p[1]", [], {"data-a": "1"}, True, None]]),
])
def test_malformed_facts_raise_instead_of_reading_past_them(answer):
    with pytest.raises((RuntimeError, ValueError)):
        scan(answer)


@pytest.mark.parametrize("enabled", [True, False])
def test_scan_leaves_the_collector_as_it_found_it(enabled):
    was = gc.isenabled()
    (gc.enable if enabled else gc.disable)()
    try:
        scan(facts(i=[SAVE] * 50, t=[HELLO] * 50))
        assert gc.isenabled() is enabled
        with pytest.raises((RuntimeError, ValueError)):
            scan(facts(i=[[True]]))
        assert gc.isenabled() is enabled
    finally:
        (gc.enable if was else gc.disable)()

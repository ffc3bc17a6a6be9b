"""The relative strategy resolves nothing and says so with None, after
checking the kinds of its arguments."""

import pytest

from vantle.engine.strategies.relative_strategy import RelativeStrategy

RECORD = {"action": "click", "target": "button next to Sign up", "value": None, "ordinal": 1, "_literal_target": False}
ELEMENT = {"tag": "button", "text": "Go", "attributes": {}, "bounding_box": {"x": 0, "y": 0, "width": 1, "height": 1}}


@pytest.mark.parametrize("parsed, matrix, candidates", [
    (RECORD, {}, []),
    ({}, {"entries": []}, (ELEMENT,)),
    ({"target": None}, {"x": 1}, [ELEMENT, ELEMENT]),
])
def test_well_formed_calls_return_none(parsed, matrix, candidates):
    assert RelativeStrategy().resolve(parsed, matrix, candidates) is None


@pytest.mark.parametrize("args, name", [
    (([RECORD], {}, []), "parsed_instruction"),
    (("click Go", {}, []), "parsed_instruction"),
    ((RECORD, [{"index": 0}], []), "matrix"),
    ((RECORD, None, []), "matrix"),
    ((RECORD, {}, None), "dom_candidates"),
    ((RECORD, {}, "Go"), "dom_candidates"),
    ((RECORD, {}, {"a": 1}), "dom_candidates"),
])
def test_wrong_kinds_are_type_errors_naming_the_parameter(args, name):
    with pytest.raises(TypeError, match=name):
        RelativeStrategy().resolve(*args)


def test_arguments_by_keyword_and_untouched():
    cands = [ELEMENT]
    record = dict(RECORD)
    assert RelativeStrategy().resolve(parsed_instruction=record, matrix={}, dom_candidates=cands) is None
    assert record == RECORD and cands == [ELEMENT]

"""Random records, however incomplete or odd, never break direct resolution:
every call returns a well-formed result that points back into its inputs."""

import pytest

hypothesis = pytest.importorskip("hypothesis")
from hypothesis import HealthCheck, given, settings
from hypothesis import strategies as st

from vantle.engine.strategies.direct_strategy import DirectStrategy

ACTIONS = [
    "click", "type", "hover", "select", "extract_text", "extract_text_spatial", "find_text", "find_exact_text",
    "verify_present", "verify_visible", "verify_enabled", "verify_disabled", "verify_text_present",
    "verify_text_visible", "verify_spatial_text", "press_key", "",
]
KEYWORDS = ["next to ", "right of ", "left of ", "below ", "above ", "under ", "near ", ""]
TAGS = ["button", "input", "textarea", "select", "span", "div", "td", "a", "h1", "p", "INPUT", ""]
ATTRIBUTE_NAMES = [
    "aria-label", "_label", "placeholder", "data-testid", "type", "alt", "class", "id", "role", "href",
    "data-qa-submit_order", "data-", "data-1", "data--_",
]
COORDINATES = ["x", "y", "width", "height"]

# Letters, marks, digits of several scripts, white space of every kind,
# surrogates and the characters that matching treats specially.
odd_text = st.text(
    alphabet=st.one_of(
        st.sampled_from("aA_- \t\n\u00a0\u2003\u2028$£€,İıßΣσς٣१"),
        st.characters(codec=None, categories=["L", "M", "N", "Z", "Cs", "Cc", "P", "S"]),
    ),
    max_size=12,
)
numbers = st.one_of(
    st.integers(min_value=-(10**20), max_value=10**20),
    st.floats(allow_nan=True, allow_infinity=True),
    st.sampled_from([0, 0.0, -0.0]),
)
boxes = st.one_of(
    st.none(),
    st.just({}),
    st.dictionaries(st.sampled_from(COORDINATES), st.one_of(numbers, st.none()), max_size=4),
    st.fixed_dictionaries({k: st.integers(min_value=-50, max_value=500) for k in COORDINATES}),
)
xpaths = st.lists(st.sampled_from(["html[1]", "body[1]", "div[1]", "div[2]", "span[1]", "", "/"]), max_size=12).map(
    lambda steps: "/" + "/".join(steps)
)
records = st.fixed_dictionaries(
    {},
    optional={
        "tag": st.sampled_from(TAGS),
        "text": st.one_of(odd_text, st.sampled_from(["Total", "Log in", "Sign-up", "  Total\n$5"]), st.none()),
        "has_direct_text": st.booleans(),
        "attributes": st.one_of(
            st.none(),
            st.dictionaries(st.sampled_from(ATTRIBUTE_NAMES) | odd_text, st.one_of(odd_text, st.none()), max_size=5),
        ),
        "bounding_box": boxes,
        "is_visible": st.one_of(st.booleans(), st.none(), st.integers(0, 1)),
        "is_enabled": st.booleans(),
        "is_editable_field": st.booleans(),
        "xpath": st.one_of(xpaths, st.just(""), st.none()),
    },
)
targets = st.one_of(
    odd_text,
    st.tuples(st.sampled_from(KEYWORDS), st.sampled_from(["", "the ", "a "]), odd_text | st.just("Total")).map("".join),
)
instructions = st.fixed_dictionaries(
    {},
    optional={
        "action": st.sampled_from(ACTIONS),
        "target": targets,
        "value": odd_text,
        "ordinal": st.integers(min_value=1, max_value=10**30),
        "_literal_target": st.booleans(),
    },
)

SPATIAL = {"verify_spatial_text", "extract_text_spatial"}
FIRST_KEYS = ["resolved", "confidence", "element", "candidates"]


def well_formed(result, inputs):
    keys = [k for k in result if k in FIRST_KEYS]
    assert keys == FIRST_KEYS
    assert result["confidence"] == (1.0 if result["resolved"] else 0.0)
    assert type(result["confidence"]) is float
    ids = {id(r) for r in inputs}
    assert (result["element"] is None) != result["resolved"]
    if result["element"] is not None:
        assert id(result["element"]) in ids
    assert all(id(c) in ids for c in result["candidates"])


@settings(max_examples=250, deadline=None, suppress_health_check=[HealthCheck.too_slow])
@given(instruction=instructions, dom=st.lists(records, max_size=8), text=st.one_of(st.none(), st.lists(records, max_size=8)))
def test_resolve_never_breaks(instruction, dom, text):
    try:
        result = DirectStrategy().resolve(instruction, dom, text)
    except KeyError as error:
        # Reading text beside an anchor needs every coordinate of the boxes it measures.
        assert instruction.get("action") in SPATIAL
        assert any(f"'{k}'" in str(error) for k in COORDINATES)
        return
    well_formed(result, dom + (text or []))



ROUTES = {
    "find_text": lambda s, r, dom, text: s._resolve_find_text(r["target"], text),
    "find_exact_text": lambda s, r, dom, text: s._resolve_find_exact_text(r["target"], text),
    "verify_present": lambda s, r, dom, text: s._resolve_verify(r["action"], r["target"], dom),
    "verify_disabled": lambda s, r, dom, text: s._resolve_verify(r["action"], r["target"], dom),
    "verify_text_visible": lambda s, r, dom, text: s._resolve_verify_text(r["action"], r["target"], text),
    "verify_spatial_text": lambda s, r, dom, text: s._resolve_verify_spatial_text(r["target"], r["value"], text, dom),
    "extract_text_spatial": lambda s, r, dom, text: s._resolve_extract_spatial_text(r["target"], text, dom),
}


def outcome(call):
    try:
        result = call()
    except KeyError as error:
        return ("KeyError", str(error))
    return {k: [id(c) for c in v] if k == "candidates" else (id(v) if k == "element" else v) for k, v in result.items()}


@settings(max_examples=150, deadline=None, suppress_health_check=[HealthCheck.too_slow])
@given(
    action=st.sampled_from(sorted(ROUTES)),
    target=targets,
    value=odd_text,
    dom=st.lists(records, max_size=6),
    text=st.lists(records, max_size=6),
)
def test_routed_actions_answer_as_their_methods(action, target, value, dom, text):
    """resolve reads only the keys a path needs; the path's method reads them all."""
    strategy, record = DirectStrategy(), {"action": action, "target": target, "value": value}
    via_resolve = outcome(lambda: strategy.resolve(record, dom, text))
    assert via_resolve == outcome(lambda: ROUTES[action](strategy, record, dom, text))

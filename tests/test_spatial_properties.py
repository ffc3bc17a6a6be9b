"""Random scan records never crash building the matrix or resolving a
spatial target, and what comes back keeps its invariants."""

from hypothesis import HealthCheck, given, settings
from hypothesis import strategies as st

from vantle.engine.spatial.layout_builder import LayoutBuilder
from vantle.engine.spatial.layout_resolver import LayoutResolver

WORDS = ["next to", "below", "under", "above", "left of", "right of", "near", "first", "second",
         "3rd", "button", "link", "field", "dropdown", "the", "a", "Save", "Total", "ΣΊΣΥΦΟΣ",
         "İ", "ß", "😀", "-", "(", ""]
odd_text = st.one_of(
    st.sampled_from(["", " ", "Save", "Total (3)", "Sign up", "ΣΊΣΥΦΟΣ", "İstanbul", "\u00a0x\u2003", "😀", "\ud800x", "Ⅻ-ǅ"]),
    st.text(max_size=12),
)
coord = st.one_of(st.integers(-2000, 2000), st.floats(-2000, 2000, allow_nan=False), st.just(0))


def maybe(d, key, strategy):
    return st.one_of(st.just(d), strategy.map(lambda v: {**d, key: v}))


@st.composite
def box(draw):
    keys = draw(st.lists(st.sampled_from(["x", "y", "width", "height"]), unique=True))
    b = {k: draw(coord) for k in keys}
    return draw(st.sampled_from([b, b, b, None, {}])) if keys else draw(st.sampled_from([None, {}, {"x": 0}]))


@st.composite
def element(draw):
    e = {}
    for key, strategy in [
        ("tag", st.sampled_from(["button", "a", "input", "select", "textarea", "div", "span", ""])),
        ("text", odd_text),
        ("bounding_box", box()),
        ("is_enabled", st.booleans()),
        ("xpath", st.sampled_from(["", "/", "/html[1]/body[1]/div[1]", "/html[1]/body[1]/div[2]/a[1]", "//x//"])),
    ]:
        if draw(st.booleans()) or key == "bounding_box":
            e[key] = draw(strategy)
    if draw(st.booleans()):
        names = ["role", "type", "_label", "aria-label", "placeholder", "name"]
        e["attributes"] = draw(st.dictionaries(st.sampled_from(names), st.one_of(odd_text, st.none()), max_size=4))
    return e


targets = st.one_of(
    st.lists(st.sampled_from(WORDS), max_size=6).map(" ".join),
    st.text(max_size=20),
)


@settings(max_examples=300, deadline=None, suppress_health_check=[HealthCheck.too_slow])
@given(st.lists(element(), max_size=12), st.one_of(st.none(), st.lists(element(), max_size=6)),
       st.lists(targets, min_size=1, max_size=4))
def test_random_records_never_crash(dom, texts, target_list):
    matrix = LayoutBuilder(dom, texts).build()
    assert [e["index"] for e in matrix] == list(range(len(matrix)))
    inputs = dom + (texts or [])
    assert all(any(e["element"] is i for i in inputs) for e in matrix)
    counts = {}
    for e in matrix:
        counts[e["element_type"]] = counts.get(e["element_type"], 0) + 1
        assert e["order_in_type"] == counts[e["element_type"]]

    resolver = LayoutResolver(matrix)
    for target in target_list:
        r = resolver.resolve({"target": target})
        assert r["confidence"] == (1.0 if r["resolved"] else 0.0)
        if r["resolved"]:
            assert any(r["element"] is d for d in dom)
            assert all(any(c is d for d in dom) for c in r["candidates"])
        else:
            assert r == {"resolved": False, "confidence": 0.0, "element": None, "candidates": []}

"""The agent's pure parts: routing, failure texts, the retry pause, browser
lookup, and in-process resolution agreeing with the resolver modules."""

import os

import pytest

from vantle import BrowserManager, BrowserNotFound
from vantle import _agent
from vantle.engine.spatial.layout_builder import LayoutBuilder
from vantle.engine.spatial.layout_resolver import LayoutResolver
from vantle.engine.strategies.direct_strategy import DirectStrategy


@pytest.mark.parametrize(
    "instruction, route, target",
    [
        ('click first button next to "Sign up"', "layout", "first button next to Sign up"),
        ("click Second Button", "layout", "Second Button"),
        ("click 3rd input", "layout", "3rd input"),
        ('click second "Add to cart"', "direct", "Add to cart"),
        ('click "Read below"', "direct", "Read below"),
        ("click the Submit button", "direct", "Submit button"),
        ("click Underline", "direct", "Underline"),
        ("click button left of Total", "layout", "button left of Total"),
        ('type hello into field below "Email"', "layout", "field below Email"),
        ('verify button near "Total" is enabled', "layout", "button near Total"),
        ('verify "Products" is present', "direct", "Products"),
        ("extract text from second link", "layout", "second link"),
        ('extract text from "Order number"', "direct", "Order number"),
        ('verify text next to "Potential Returns" is $29.00', "direct", "next to Potential Returns"),
        ('extract text below "Total"', "direct", "below Total"),
        ("hover Menu", "direct", "Menu"),
        ("accept dialog", "dialog", ""),
        ('verify dialog says "Sure?"', "dialog", ""),
        ("wait 5", "wait", ""),
        ("press Enter", "keys", ""),
        ("sendkeys abc", "keys", ""),
        ("navigate http://127.0.0.1/", "navigate", ""),
        # quoted words are names, never positions
        ('click "Sort below" button', "direct", "Sort below button"),
        ('click "2nd" button', "direct", "2nd button"),
        ('click checkbox left of "The Last Post"', "layout", "checkbox left of The Last Post"),
        ('click Second button near "First Class"', "layout", "Second button near First Class"),
    ],
)
def test_route(instruction, route, target):
    assert _agent._route(instruction) == (route, target)


def element(text, *, x=0, y=0, w=80, h=20, tag="button", visible=True, enabled=True, **attributes):
    return {
        "tag": tag,
        "text": text,
        "attributes": attributes,
        "xpath": f"/html/body/{tag}[{x // 10 + y + 1}]",
        "is_visible": visible,
        "is_enabled": enabled,
        "bounding_box": {"x": x, "y": y, "width": w, "height": h},
    }


def test_near_candidates_are_the_closest_texts_without_repeats():
    elements = [element(t) for t in ["Sign up", "Login", "Help", "Log out", "Login", "Blog"]]
    elements.append(element("", tag="input", **{"aria-label": "Logon name"}))
    near = _agent._near_candidates("Logn", elements, [])
    assert near[0] == "Login"
    assert len(near) == 3 and len(set(near)) == 3
    assert "Help" not in near
    assert _agent._near_candidates("Logon", [elements[-1]], []) == ["Logon name"]
    assert _agent._near_candidates("x", [], []) == []


def test_retry_pause_grows_is_capped_and_stops_at_the_deadline():
    pauses = [_agent._next_pause_ms(0, 10_000, attempt) for attempt in range(6)]
    assert pauses == sorted(pauses) and pauses[0] > 0 and pauses[-1] == 250
    assert _agent._next_pause_ms(4_990, 5_000, 5) == pytest.approx(10)
    assert _agent._next_pause_ms(5_000, 5_000, 0) is None
    assert _agent._next_pause_ms(6_000, 5_000, 0) is None


class TestBrowserLookup:
    def test_explicit_path_wins(self, tmp_path):
        chrome = tmp_path / "chrome"
        chrome.write_text("")
        assert BrowserManager._locate_browser(str(chrome), "/nope", "/nope") == str(chrome)

    @pytest.mark.parametrize("given", ["browser_path", "env_path"])
    def test_a_given_path_must_exist(self, given):
        with pytest.raises(BrowserNotFound) as failure:
            BrowserManager._locate_browser(**{given: "/opt/none/chrome"})
        assert "/opt/none/chrome" in str(failure.value)
        assert "apt-get install chromium" in str(failure.value)

    def test_debian_then_bundled(self, tmp_path):
        bundled = tmp_path / "bundled"
        bundled.write_text("")
        assert BrowserManager._locate_browser(debian_path=str(bundled)) == str(bundled)
        assert BrowserManager._locate_browser(debian_path="/nope", bundled_path=str(bundled)) == str(bundled)

    def test_nothing_installed_says_what_to_install(self):
        with pytest.raises(BrowserNotFound, match="apt-get install chromium") as failure:
            BrowserManager._locate_browser(debian_path="/nope/chromium", bundled_path="/nope/pw")
        assert isinstance(failure.value, RuntimeError)


# A small page: a sign-up row, a product grid, a form and some text.
PAGE = [
    element("Sign up", x=10, y=10),
    element("Log in", x=100, y=10),
    element("Add to cart", x=10, y=100),
    element("Add to cart", x=200, y=100),
    element("Add to cart", x=10, y=200, visible=False, **{"aria-label": "Add to cart"}),
    element("Add", x=300, y=100, enabled=False),
    element("", x=10, y=300, tag="input", _label="Email", placeholder="you@example.com"),
    element("", x=10, y=340, tag="input", _label="Password", type="password"),
    element("Help", x=10, y=400, tag="a", href="/help"),
]
TEXTS = [
    {"tag": "h1", "text": "Products", "xpath": "/html/body/h1", "is_visible": True,
     "bounding_box": {"x": 10, "y": 50, "width": 100, "height": 30}},
    {"tag": "span", "text": "Potential Returns", "xpath": "/html/body/div/span[1]", "is_visible": True,
     "bounding_box": {"x": 10, "y": 500, "width": 120, "height": 20}},
    {"tag": "span", "text": "$29.00", "xpath": "/html/body/div/span[2]", "is_visible": True,
     "bounding_box": {"x": 150, "y": 500, "width": 50, "height": 20}},
]


def record(action, target, value=None, ordinal=None):
    out = {"action": action, "target": target, "value": value}
    if ordinal is not None:
        out["ordinal"] = ordinal
    out["_literal_target"] = False
    return out


@pytest.mark.parametrize(
    "query",
    [
        record("click", "Add to cart", ordinal=2),
        record("click", "Add to cart", ordinal=9),
        record("click", "add"),
        record("click", "Nothing here"),
        record("type", "Email"),
        record("hover", "Help link"),
        record("extract_text", "Products", ordinal=1),
        record("verify_present", "Add to cart"),
        record("verify_disabled", "Add"),
        record("verify_visible", "Products"),
        record("verify_text_present", "Products"),
        record("find_text", "return"),
        record("find_exact_text", "Potential"),
        record("verify_spatial_text", "next to Potential Returns", "$29.00"),
        record("verify_spatial_text", "next to Potential Returns", "$30.00"),
        record("extract_text_spatial", "right of Potential Returns"),
    ],
    ids=lambda r: f"{r['action']}-{r['target']}",
)
def test_in_process_direct_resolution_agrees_with_the_module(query):
    assert _agent._resolve_direct(query, PAGE, TEXTS) == DirectStrategy().resolve(query, PAGE, TEXTS)


@pytest.mark.parametrize(
    "target",
    [
        "first button next to Sign up",
        "button right of Sign up",
        "second Add to cart button",
        "2nd button",
        "input below Email",
        "field above Password",
        "link near Password",
        "button next to Nobody",
        "third link",
    ],
)
def test_in_process_layout_resolution_agrees_with_the_modules(target):
    query = record("click", target)
    matrix = LayoutBuilder(PAGE, TEXTS).build()
    assert _agent._resolve_layout(query, PAGE, TEXTS) == LayoutResolver(matrix).resolve(query)

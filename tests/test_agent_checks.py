"""Negative checks and the failure messages of checks on real Chromium: a
negative check waits for what should go away, and a failing step says what
it looked for and what came closest."""

import time

import pytest

from vantle import StepFailed, WebAgent
from vantle import _agent

pytestmark = pytest.mark.browser

PAGE = """
<h1>Orders</h1>
<p id="saving">Saving draft</p>
<button id="spinner" style="display:none">Loading</button>
<button>Export orders</button>
<p>Order 1</p><p>5</p><p>Order 15 shipped</p>
<div><span>Status</span> <button>Cancel order</button></div>
"""


@pytest.fixture(scope="module")
def agent():
    with WebAgent(timeout_ms=1500) as agent:
        yield agent


@pytest.fixture
def page(agent, server):
    agent.run(f"navigate {server}/agent/shop.html")
    agent.page.set_content(PAGE)
    return agent


@pytest.mark.parametrize("instruction", [
    'verify "Refund" is not present',
    'verify "Loading" is not visible',
    'verify "Refund" is not visible',
    'verify text "Refund" is not present',
    'verify text "Loading" is not visible',
])
def test_a_negative_check_passes_when_the_thing_is_absent_or_hidden(page, instruction):
    started = time.perf_counter()
    assert page.run(instruction) is True
    assert time.perf_counter() - started < 1.0  # no waiting when it already holds


@pytest.mark.parametrize("instruction, found, state", [
    ('verify "Export orders" is not present', "Export orders", "present"),
    ('verify "Export orders" is not visible', "Export orders", "visible"),
    ('verify "Saving draft" is not present', "Saving draft", "present"),  # page text counts as present
    ('verify text "Saving draft" is not present', "Saving draft", "present"),
    ('verify text "Saving draft" is not visible', "Saving draft", "visible"),
])
def test_a_negative_check_fails_when_the_thing_stays(page, instruction, found, state):
    with pytest.raises(StepFailed) as failure:
        page.run(instruction)
    assert f"expected '{found}' not to be {state}, but it is." in str(failure.value)


@pytest.mark.parametrize("instruction", ['verify text "Saving draft" is not present',
                                         'verify "Export orders" is not visible'])
def test_a_negative_check_waits_for_the_thing_to_go(page, instruction):
    page.page.evaluate("""() => setTimeout(() => {
        document.getElementById('saving').remove();
        document.querySelector('button:not([id])').style.display = 'none';
    }, 400)""")
    started = time.perf_counter()
    assert page.run(instruction) is True
    assert time.perf_counter() - started >= 0.3


def test_near_misses_share_words_before_they_share_letters(page):
    with pytest.raises(StepFailed) as failure:
        page.run('click "Export order list"')
    message = str(failure.value)
    assert "Closest on the page: 'Export orders'" in message
    assert "'5'" not in message and "'1'" not in message


def test_a_missing_anchor_is_named(page):
    with pytest.raises(StepFailed) as failure:
        page.run('click button right of "Shipping"')
    assert "anchor 'Shipping' not found." in str(failure.value)


def test_near_miss_ranking_and_fragments():
    def element(text):
        return {"tag": "p", "text": text, "attributes": {}, "xpath": "/p", "is_visible": True,
                "is_enabled": True, "bounding_box": {"x": 0, "y": 0, "width": 10, "height": 10}}

    texts = [element(t) for t in ["1", "5", "Order 15 shipped", "Orders", "Border", "Order 1", "Zebra"]]
    near = _agent._near_candidates("Order 1 shipped", texts, [])
    # Two shared words beat one; no bare digits; nothing unrelated.
    assert near == ["Order 15 shipped", "Order 1", "Orders"]
    assert _agent._near_candidates("Go!", [element("Go")], []) == ["Go"]
    # A typed apostrophe is the typographic one: that text is nearest.
    typographic = [element("Dont stop"), element("Don\u2019t stop")]
    assert _agent._near_candidates("Don't stop", typographic, [])[0] == "Don\u2019t stop"

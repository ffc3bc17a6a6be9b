"""Quoted text in steps is taken as written, on real Chromium: a quoted anchor
keeps its article, a quoted name inside a longer target is not cleaned, quotes
in searched text stay, and \\" writes a quote inside a quoted target."""

import pytest

from vantle import StepFailed, WebAgent

pytestmark = pytest.mark.browser


@pytest.fixture(scope="module")
def page(server):
    with WebAgent(f"{server}/agent/quoting.html", timeout_ms=1000) as agent:
        yield agent


def checked(agent):
    return {box: agent.page.is_checked(f"#{box}") for box in ("post", "last", "transit", "plain")}


@pytest.fixture
def agent(page, server):
    page.run(f"navigate {server}/agent/quoting.html")
    return page


def test_a_quoted_anchor_keeps_its_article(agent):
    agent.run('click checkbox left of "The Last Post"')
    assert checked(agent) == {"post": True, "last": False, "transit": False, "plain": False}


def test_an_unquoted_anchor_drops_its_article(agent):
    agent.run("click checkbox left of the Last Post")
    assert checked(agent) == {"post": False, "last": True, "transit": False, "plain": False}


def test_a_quoted_name_inside_a_longer_target_is_not_cleaned(agent):
    agent.run('click "In transit" checkbox')
    assert checked(agent) == {"post": False, "last": False, "transit": True, "plain": False}


def test_an_escaped_quote_inside_a_quoted_target(agent):
    assert agent.run('verify text "Results for \\"lamp\\"" is present') is True
    with pytest.raises(StepFailed):
        agent.run('verify text "Results for \\"chair\\"" is present')


def test_quotes_in_searched_text_stay(agent):
    assert agent.run('find text She said "yes"') is True

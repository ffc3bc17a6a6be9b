"""New tabs and pop-ups through the agent on real Chromium: the agent follows a
page a step opens, moves between tabs by number and title, closes them, and
handles a dialog on any of them."""

import pytest

from vantle import StepFailed, WebAgent

pytestmark = pytest.mark.browser


@pytest.fixture
def agent(server):
    with WebAgent(f"{server}/agent/tabs.html", timeout_ms=2000) as agent:
        yield agent


def test_a_link_with_a_target_is_followed(agent):
    agent.run('click "Open help"')
    assert agent.run('verify "Help" is present') is True
    assert agent.run("verify title is Help Center") is True
    assert agent.page.url.endswith("/agent/help.html")


def test_a_pop_up_is_followed_and_tabs_switch_by_number_and_title(agent):
    agent.run('click "Pop up"')
    assert agent.run("verify url contains second.html") is True
    agent.run("switch to tab 1")
    assert agent.run("verify title is Start Tab") is True
    agent.run('switch to tab "second page"')
    assert agent.run('verify text "Loaded 1 times" is present') is True


def test_a_pop_up_from_a_script_is_worked_in_and_left_when_it_closes_itself(agent):
    agent.run('type Side table into "Name"')
    agent.run('click "Add another"')
    # Both pages have a "Name" field: the step must type into the pop-up,
    # even though the browser reports it a little after the click.
    agent.run('type Rugs into "Name"')
    agent.run('click "Save"')
    assert agent.run('verify text "Chosen: Rugs" is present') is True
    assert agent.page.url.endswith("/agent/tabs.html")
    assert agent.page.locator("#name").input_value() == "Side table"
    assert len(agent.page.context.pages) == 1


def test_the_page_that_opened_a_followed_tab_has_nothing_left_to_wait_for(agent):
    first = agent.page
    agent.run('click "Open help"')
    agent.run("verify title is Help Center")
    # Had the opener kept its note of the request, its next scan would wait
    # for a page that is already here.
    assert first.evaluate("window.__vantleOpened") is False
    agent.run("close tab")
    assert agent.run('verify text "Start page" is present') is True


def test_close_tab_returns_to_the_tab_shown_before(agent):
    agent.run('click "Open help"')
    agent.run("verify title is Help Center")
    agent.run("close tab")
    assert agent.run("verify title is Start Tab") is True
    assert len(agent.page.context.pages) == 1


def test_a_dialog_on_the_new_tab_is_handled_as_on_the_first(agent):
    agent.run('click "Open help"')
    agent.run('click "Leave"')
    assert agent.run("verify dialog says Really leave?") is True
    agent.run("accept dialog")
    assert agent.run('verify text "Left" is present') is True


@pytest.mark.parametrize(
    "step, message",
    [
        ("switch to tab 3", "there is no tab 3 (1 tab is open)"),
        ('switch to tab "Nowhere"', "no tab is titled 'Nowhere' (open: ['start tab'])"),
        ("close tab", "the only open tab cannot be closed"),
    ],
)
def test_a_tab_that_is_not_there_fails_the_step(agent, step, message):
    with pytest.raises(StepFailed) as failure:
        agent.run(step)
    assert message in str(failure.value)

"""The returns calculator shows its result next to the label."""

import os

import pytest


def test_growth_plan_returns(agent, shop_url):
    agent.run(f"navigate {shop_url}returns.html")
    agent.run('type 100 into "Amount"')
    agent.run('select Growth 29% from "Plan"')
    agent.run('click "Calculate"')
    agent.run('verify text next to "Potential Returns" is $29.00')


def test_years_typed_from_the_keyboard(agent, shop_url):
    agent.run(f"navigate {shop_url}returns.html")
    agent.run('type 200 into "Amount"')
    agent.run('type 1 into "Years"')
    agent.run("press Backspace")
    agent.run("sendkeys 3")
    agent.run("press Tab")
    agent.run("wait 100")
    agent.run('click "Calculate"')
    assert agent.run('extract text right of "Potential Returns"') == "$30.00"


@pytest.mark.skipif(os.environ.get("VANTLE_DEMO_FAIL") != "1", reason="set VANTLE_DEMO_FAIL=1 to see a failure")
def test_shows_a_failure_in_the_report(agent, shop_url):
    agent.run(f"navigate {shop_url}returns.html")
    agent.run('click "Calculate"')
    agent.run('verify text next to "Potential Returns" is $1,000.00')

"""Steps addressed to a table row and column on real Chromium: a cell is found
by the table's structure, so wrapped cells do not throw rows out of line."""

import pytest

from vantle import StepFailed, WebAgent
from vantle.engine.agent.step_parser import StepParser

pytestmark = pytest.mark.browser

PARSER = StepParser()


@pytest.fixture(scope="module")
def agent():
    with WebAgent(timeout_ms=1500) as agent:
        yield agent


@pytest.fixture
def orders(agent, server):
    agent.run(f"navigate {server}/agent/orders.html")
    return agent


@pytest.mark.parametrize(
    "step, clicked",
    [
        ('click "Edit" in row "Order 1042"', "Clicked Edit 1042"),
        ('click "Edit" in row 3', "Clicked Edit 1043"),
        ('click "Edit" in row "order 1041" under "Actions"', "Clicked Edit 1041"),
        ('click "Cancel" in row "Shipped"', "Clicked Cancel 1042"),
    ],
)
def test_a_button_is_clicked_in_its_row(orders, step, clicked):
    orders.run(step)
    assert orders.page.inner_text("#said") == clicked


@pytest.mark.parametrize(
    "step, expected",
    [
        ('extract text in row "Order 1043" under "Status"', "Pending"),
        ('extract text in row 2 under "Total"', "$1,250.50"),
        ('extract text in row 1 under "Customer note"', "Leave the parcel with the neighbour at number twelve please"),
    ],
)
def test_a_cell_is_read_under_its_heading(orders, step, expected):
    assert orders.run(step) == expected


def test_verify_a_cell(orders):
    assert orders.run('verify text in row "Order 1042" under "Status" is Shipped') is True
    assert orders.run('verify text in row 2 under "Total" is 1250.50') is True
    with pytest.raises(StepFailed, match="expected 'Delivered', found 'Pending'"):
        orders.run('verify text in row "Order 1043" under "Status" is Delivered')


@pytest.mark.parametrize(
    "step, message",
    [
        ('click "Edit" in row "Order 9999"', "no table on the page has row 'Order 9999'"),
        ('extract text in row 7 under "Total"', "no table on the page has row 7 under 'Total'"),
        ('extract text in row 1 under "Weight"', "no table on the page has row 1 under 'Weight'"),
        ('click "Cancel" in row "Order 1041"', "nothing in row 'Order 1041' matches 'Cancel'"),
    ],
)
def test_a_missing_row_column_or_target_fails_naming_it(orders, step, message):
    with pytest.raises(StepFailed, match=message):
        orders.run(step)


@pytest.mark.parametrize(
    "step, record",
    [
        ('click "Edit" in row "Order 1042"',
         {"action": "click", "target": "Edit", "value": None, "ordinal": 1, "_literal_target": True, "row": "Order 1042"}),
        ('verify text in row "Order 1042" under "Status" is Shipped',
         {"action": "verify_cell", "target": None, "value": "Shipped", "_literal_target": False, "row": "Order 1042",
          "column": "Status"}),
        ('extract text in row 3 under "Total"',
         {"action": "extract_cell", "target": None, "value": None, "_literal_target": False, "row": 3, "column": "Total"}),
        ('extract text in row "3" under "Total"',
         {"action": "extract_cell", "target": None, "value": None, "_literal_target": False, "row": "3", "column": "Total"}),
        ('click "Sign in row 2"', {"action": "click", "target": "Sign in row 2", "value": None, "ordinal": 1, "_literal_target": True}),
    ],
)
def test_row_steps_parse(step, record):
    assert PARSER.parse(step) == record
    assert PARSER.validate(step) == []

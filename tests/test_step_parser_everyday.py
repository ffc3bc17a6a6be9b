"""Parsing, validating and routing the everyday actions: ticks, fields, files,
other clicks, dragging, scrolling, history, address and title."""

import pytest

from vantle import _agent
from vantle.engine.agent.step_parser import InvalidInstructionError, StepParser

PARSER = StepParser()


def rec(action, target=None, value=None, ordinal=None, literal=False):
    out = {"action": action, "target": target, "value": value}
    if ordinal is not None:
        out["ordinal"] = ordinal
    out["_literal_target"] = literal
    return out


RECORDS = [
    ('check "Remember me"', rec("check", "Remember me", literal=True)),
    ("Check the Remember me", rec("check", "Remember me")),
    ('uncheck "Newsletter"', rec("uncheck", "Newsletter", literal=True)),
    ('clear "Email"', rec("clear", "Email", literal=True)),
    ('upload files/cv.pdf into "CV"', rec("upload", "CV", "files/cv.pdf", literal=True)),
    ('upload "my files/cv 2.pdf" into the "CV"', rec("upload", "CV", "my files/cv 2.pdf", literal=True)),
    ("go back", rec("go_back")),
    ("Go  Back", rec("go_back")),
    ("switch to tab 2", rec("switch_tab", "2")),
    ('switch to tab "Help Center"', rec("switch_tab", "Help Center")),
    ("close  tab", rec("close_tab")),
    ("reload", rec("reload")),
    ('scroll to "Footer"', rec("scroll_to", "Footer", literal=True)),
    ("scroll down", rec("scroll_down")),
    ("verify url contains /checkout", rec("verify_url", value="/checkout")),
    ('verify URL contains "?page=2"', rec("verify_url", value="?page=2")),
    ("verify title is Swag Labs", rec("verify_title", value="Swag Labs")),
    # a quoted word is a name on the page, never a keyword
    ('verify "Title" is present', rec("verify_present", "Title", literal=True)),
    ('click "verify title is" ', rec("click", "verify title is", ordinal=1, literal=True)),
    ('double click "Open"', rec("double_click", "Open", ordinal=1, literal=True)),
    ("double click second button", rec("double_click", "button", ordinal=2)),
    ('right click "Row 1"', rec("right_click", "Row 1", ordinal=1, literal=True)),
    ('drag "Card" to "Done"', rec("drag", "Card", "Done", literal=True)),
    ('drag "Add to cart" to "Bin"', rec("drag", "Add to cart", "Bin", literal=True)),
    ("drag the Card to the Done column", rec("drag", "Card", "Done column")),
]


@pytest.mark.parametrize("instruction, record", RECORDS, ids=[r[0] for r in RECORDS])
def test_records(instruction, record):
    assert PARSER.parse(instruction) == record


@pytest.mark.parametrize("instruction", ["drag Card", "scroll up", "go forward", "double tap X", "upload cv.pdf"])
def test_broken_forms_are_not_parsed(instruction):
    with pytest.raises(InvalidInstructionError):
        PARSER.parse(instruction)


ISSUES = [
    ("check", ["`check` instruction does not match its form. Expected: check <target>"]),
    ("scroll up", ["`scroll` instruction does not match its form. Expected: scroll down | scroll to <target>"]),
    ("go forward", ["`go` instruction does not match its form. Expected: go back"]),
    ("reload now", ["`reload` instruction does not match its form. Expected: reload"]),
    ("upload cv.pdf", ["`upload` instruction missing `into` keyword. Expected: upload <file> into <target>"]),
    ('upload  into "CV"', ["`upload` instruction missing file to upload. Expected: upload <file> into <target>"]),
    ("drag Card", ["`drag` instruction does not match its form. Expected: drag <target> to <target>"]),
    ('drag "Card" to', ["`drag` instruction does not match its form. Expected: drag <target> to <target>"]),
    ("verify text in row 2 is Shipped",
     ["`verify text in row` instruction missing column. Expected: verify text in row <row> under <column> is <text>"]),
    ("verify title is", ["`verify title is` instruction does not match its form. Expected: verify title is <text>"]),
    ("verify url has x", ["`verify` instruction missing state. Expected ending: is present | is visible | is enabled | is disabled | is not present | is not visible | is checked | is not checked | is unchecked"]),
    ("double click", ["`double` instruction does not match its form. Expected: double click <target>"]),
] + [(line, []) for line, _ in RECORDS]


@pytest.mark.parametrize("instruction, issues", ISSUES, ids=[i[0] for i in ISSUES])
def test_validation(instruction, issues):
    assert PARSER.validate(instruction) == issues


@pytest.mark.parametrize(
    "instruction, route",
    [
        ("go back", ("page", "")),
        ("verify title is Home", ("page", "")),
        ("scroll down", ("page", "")),
        ('check "Terms"', ("direct", "Terms")),
        ("double click second button below Name", ("layout", "second button below Name")),
        ('right click "Second button"', ("direct", "Second button")),
    ],
)
def test_routes(instruction, route):
    assert _agent._route(instruction) == route

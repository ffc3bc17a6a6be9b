"""Instruction validation: issue texts, early stops, validate_all numbering, hostile input."""

import pytest
from hypothesis import given, settings, strategies as st

from vantle.engine.agent.step_parser import InvalidInstructionError, StepParser

PARSER = StepParser()
TYPE_USAGE = "Expected: type <text> into <target>"
EMPTY = "Instruction is empty."
NO_INTO = f"`type` instruction missing `into` keyword. {TYPE_USAGE}"
NO_TEXT = f"`type` instruction missing text to type. {TYPE_USAGE}"
NO_FROM = "`select` instruction missing `from` keyword. Expected: select <value> from <target>"
NO_STATE = ("`verify` instruction missing state. Expected ending: "
            "is present | is visible | is enabled | is disabled | is not present | is not visible"
            " | is checked | is not checked | is unchecked")
NO_TEXT_STATE = ("`verify text` instruction missing state. Expected ending: "
                 "is present | is visible | is not present | is not visible")
NO_EXPECTED = "`verify text` instruction missing expected text. Expected: verify text <relation> <anchor> is <text>"
KNOWN = ("Expected one of: click, type, verify, hover, select, press, wait, find, extract, sendkeys, check, uncheck, "
         "clear, upload, double, right, drag, scroll, go, reload, switch, close.")


def unbalanced(rendered):
    return "Unbalanced quote \u2014 missing closing `\"` in: " + rendered


def wait_issue(rendered):
    return "`wait` value must be a number in milliseconds. Got: " + rendered


CASES = [
    (" \t\n", [EMPTY]),
    ('  click "Log in  ', [unbalanced("'click \"Log in'")]),
    ("type \"it's", [unbalanced("'type \"it\\'s'")]),
    ("jump over", [f"Unknown action 'jump'. {KNOWN}"]),
    ('"click" x', [f"Unknown action '\"click\"'. {KNOWN}"]),
    ("Back", []),
    ("type hello", [NO_INTO]),
    ("type hello into", [NO_INTO]),
    ('type  into "Email"', [NO_TEXT]),
    ('type hello into "Email"', []),
    ("select Canada", [NO_FROM]),
    ('verify "Products" is shown', [NO_STATE]),
    ('verify dialog says "Saved"', []),
    ("verify dialogue", [NO_STATE]),  # not "verify dialog says": parse rejects it too
    ('verify text next to "Total" is $5', []),
    ('verify text leftmost thing', [NO_TEXT_STATE]),  # "left" without "of" is no relation
    ('verify text under "Total" is $5', []),  # every relation phrase reads a spatial check
    ('verify text near "Total" is $5', []),
    # a spatial check needs the text it expects, as parse() does
    ('verify text next to "Total"', [NO_EXPECTED]),
    ('verify text below "Total is"', [NO_EXPECTED]),
    ('verify text right of Total is ', [NO_EXPECTED]),
    ('extract_text from "Total"', []),  # every phrase parse accepts is a known first word
    ('verify text "Welcome" is enabled', [NO_TEXT_STATE]),
    ("wait 1.5s", [wait_issue("'1.5s'")]),
    ("wait \"''\"", [wait_issue("''")]),
    ('wait "500"', []),
    ("wait", []),
    ("wait ٥٠٠", []),  # Arabic-Indic digits are decimal digits
    ("wait ５００", []),  # so are full-width ones
    ("wait ½", [wait_issue("'½'")]),
    ("wait 1\n2", [wait_issue("'1\\n2'")]),
]


@pytest.mark.parametrize("instruction, issues", CASES, ids=[repr(c[0]) for c in CASES])
def test_validate(instruction, issues):
    assert PARSER.validate(instruction) == issues


# "type into X": the only " into " directly follows "type", so the word is
# taken as the separator and what is missing is the text to type. parse()
# rejects the same instruction.
@pytest.mark.parametrize("instruction", ['type into "Email"', "TYPE into the box"])
def test_type_into_without_text_reports_missing_text(instruction):
    assert PARSER.validate(instruction) == [NO_TEXT]
    with pytest.raises(InvalidInstructionError, match="^Malformed instruction: "):
        PARSER.parse(instruction)


NO_VALUE = "`select` instruction missing value to select. Expected: select <value> from <target>"


# The same holds for select: an instruction parse() rejects is never called clean.
@pytest.mark.parametrize("instruction", ["select from Country", "SELECT FROM list", 'select  from "Country"'])
def test_select_from_without_value_reports_missing_value(instruction):
    assert PARSER.validate(instruction) == [NO_VALUE]


@pytest.mark.parametrize(
    "instruction, parses, clean",
    [("back", False, True), ('click "A"', True, True)],
)
def test_validation_and_parsing_are_separate_passes(instruction, parses, clean):
    try:
        PARSER.parse(instruction)
        parsed = True
    except InvalidInstructionError:
        parsed = False
    assert (parsed, PARSER.validate(instruction) == []) == (parses, clean)


@pytest.mark.parametrize("instruction", [
    'verify "Checkout" is not present', 'verify Spinner is not visible',
    'verify text "Loading" is not present', 'verify text "Saving" is not visible'])
def test_negative_checks_are_valid(instruction):
    assert PARSER.validate(instruction) == []


def test_validate_all_numbers_lines_from_one():
    got = PARSER.validate_all(['click "A"', "type x", "wait 10", "", 'verify "X" is red'])
    assert got == {2: [NO_INTO], 4: [EMPTY], 5: [NO_STATE]}
    assert list(got) == [2, 4, 5]
    assert PARSER.validate_all([]) == {}
    assert PARSER.validate_all(iter(['click "A"', "wait x"])) == {2: [wait_issue("'x'")]}


def test_validate_all_rejects_non_text():
    with pytest.raises(TypeError):
        PARSER.validate_all(["click x", None])


def test_unicode_first_word_and_surrogates():
    assert PARSER.validate("İSTANBUL") == [f"Unknown action 'istanbul'. {KNOWN}"]
    assert PARSER.validate("CLİCK x") == []
    assert PARSER.validate("\ud800 x") == [f"Unknown action '\ud800'. {KNOWN}"]
    assert PARSER.validate("\u3000wait\u3000") == []


@pytest.mark.parametrize(
    "instruction",
    ['"' * 100_001, "type " + "x" * 100_000, "wait " + "9" * 100_000 + "x", "verify " + "is " * 30_000],
)
def test_long_lines(instruction):
    issues = PARSER.validate(instruction)
    assert isinstance(issues, list) and len(issues) <= 2


@settings(max_examples=500, deadline=None)
@given(st.text(st.characters(exclude_categories=())))
def test_any_text_gives_an_issue_list(instruction):
    issues = PARSER.validate(instruction)
    assert all(isinstance(i, str) and "\n" not in i for i in issues)
    stops = [i for i in issues if i == EMPTY or i.startswith(("Unbalanced quote", "Unknown action"))]
    assert not stops or issues == stops[:1]
    assert PARSER.validate_all([instruction]) == ({1: issues} if issues else {})

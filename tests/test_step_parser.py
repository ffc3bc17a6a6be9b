"""Instruction parsing: records, helpers, error messages, Unicode and hostile input."""

import re

import pytest
from hypothesis import given, settings, strategies as st

from vantle.engine.agent import step_parser as sp
from vantle.engine.agent.step_parser import InvalidInstructionError, StepParser

PARSER = StepParser()
SUPPORTED = (
    "['click', 'type', 'hover', 'select', 'press_key', 'sendkeys', 'extract_text', "
    "'extract_text_spatial', 'find_text', 'find_exact_text', 'verify_present', 'verify_visible', "
    "'verify_enabled', 'verify_disabled', 'verify_text_present', 'verify_text_visible', "
    "'verify_spatial_text', 'accept_dialog', 'dismiss_dialog', 'verify_dialog', 'verify_not_present', "
    "'verify_not_visible', 'verify_text_not_present', 'verify_text_not_visible', 'verify_checked', "
    "'verify_not_checked', 'check', 'uncheck', 'clear', "
    "'upload', 'double_click', 'right_click', 'drag', 'scroll_to', 'scroll_down', 'go_back', 'reload', "
    "'verify_url', 'verify_title', 'switch_tab', 'close_tab', 'verify_cell', 'extract_cell']"
)


def rec(action, target, value=None, ordinal=None, literal=False):
    out = {"action": action, "target": target, "value": value}
    if ordinal is not None:
        out["ordinal"] = ordinal
    out["_literal_target"] = literal
    return out


RECORDS = [
    ('click "Log in"', rec("click", "Log in", ordinal=1, literal=True)),
    ('Click   "Log in"', rec("click", "Log in", ordinal=1, literal=True)),
    ('click first button next to "Sign up"', rec("click", "button next to Sign up", ordinal=1)),
    ('click second "Add to cart"', rec("click", "Add to cart", ordinal=2, literal=True)),
    ("click FIFTH  row", rec("click", "row", ordinal=5)),
    ("click the Submit button", rec("click", "Submit button", ordinal=1)),
    ('type standard_user into "Username"', rec("type", "Username", "standard_user", literal=True)),
    ("type hello into the Email field", rec("type", "Email field", "hello")),
    ("type  hello into X", rec("type", "X", " hello")),
    # a separator inside quotes is part of the quoted text
    ('type "a into b" into "X"', rec("type", "X", "a into b", literal=True)),
    ('select Canada from "Country"', rec("select", "Country", "Canada", literal=True)),
    ("find exact text Total:", rec("find_exact_text", "Total:")),
    ("find text the Total", rec("find_text", "Total")),
    ('extract text below "Total"', rec("extract_text_spatial", "below Total")),
    ('extract text from "Order number"', rec("extract_text", "Order number", ordinal=1, literal=True)),
    ('extract text from below "Total"', rec("extract_text", "below Total", ordinal=1)),
    ('extract text third "Price"', rec("extract_text", "Price", ordinal=3, literal=True)),
    ('hover "Menu"', rec("hover", "Menu", literal=True)),
    ('navigate "http://127.0.0.1/a b"', rec("navigate", "http://127.0.0.1/a b")),
    ("press Enter", rec("press_key", "Enter")),
    ('wait "500"', rec("wait", "500")),
    ('sendkeys "hello"', rec("sendkeys", "hello", "hello")),
    ("accept dialog", rec("accept_dialog", None)),
    ("Dismiss Dialog", rec("dismiss_dialog", None)),
    ('verify dialog says "Are you sure?"', rec("verify_dialog", None, "Are you sure?")),
    ('verify text next to "Potential Returns" is $29.00',
     rec("verify_spatial_text", "next to Potential Returns", "$29.00")),
    ("verify text above Status is Open is yes", rec("verify_spatial_text", "above Status is Open", "yes")),
    ('verify text "Welcome back" is visible', rec("verify_text_visible", "Welcome back", literal=True)),
    ("verify text the Welcome is present", rec("verify_text_present", "the Welcome")),
    ('verify "Products" is present', rec("verify_present", "Products", literal=True)),
    ("verify the Login button is disabled", rec("verify_disabled", "Login button")),
    ("verify text Total is enabled", rec("verify_enabled", "text Total")),
    ('verify "Checkout" is not present', rec("verify_not_present", "Checkout", literal=True)),
    ("verify the Spinner is NOT visible", rec("verify_not_visible", "Spinner")),
    ('verify text "Loading" is not present', rec("verify_text_not_present", "Loading", literal=True)),
    ("verify text Saving is not visible", rec("verify_text_not_visible", "Saving")),
]


@pytest.mark.parametrize("instruction, expected", RECORDS, ids=[r[0] for r in RECORDS])
def test_parse_record(instruction, expected):
    got = PARSER.parse(instruction)
    assert list(got.items()) == list(expected.items())  # key order too


# A quoted name that is, or starts with, an ordinal word names the element.
@pytest.mark.parametrize(
    "instruction, expected",
    [
        ('click "first"', rec("click", "first", ordinal=1, literal=True)),
        ('click "First Class"', rec("click", "First Class", ordinal=1, literal=True)),
        ('extract text from "Third party"', rec("extract_text", "Third party", ordinal=1, literal=True)),
        ('click second "Add to cart"', rec("click", "Add to cart", ordinal=2, literal=True)),
        ('click second "first"', rec("click", "first", ordinal=2, literal=True)),
        # the literal test is made on the rest as it stands, spaces of the literal included
        ('click " first"', rec("click", " first", ordinal=1, literal=True)),
        ('extract text from "second Row\t"', rec("extract_text", "second Row\t", ordinal=1, literal=True)),
        # spaces before the opening quote are not part of the name: the literal survives,
        # as it does for `Click   "Log in"`
        ('click  "first"', rec("click", "first", ordinal=1, literal=True)),
        ('extract text from   "Second"', rec("extract_text", "Second", ordinal=1, literal=True)),
    ],
)
def test_quoted_ordinal_word_is_a_name(instruction, expected):
    assert PARSER.parse(instruction) == expected


@pytest.mark.parametrize(
    "instruction",
    ["", "   ", "back", "refresh", "click", "type something", "accept the dialog",
     "verify text next to Total is", "verify it", "navigate"],
)
def test_unrecognised_message(instruction):
    with pytest.raises(InvalidInstructionError) as err:
        PARSER.parse(instruction)
    assert str(err.value) == f"Unrecognised instruction: {instruction!r}. Supported actions: {SUPPORTED}"


@pytest.mark.parametrize(
    "instruction, rendered",
    [
        ("it's", "\"it's\""),
        ("a\\b\tc\x01\n", "'a\\\\b\\tc\\x01\\n'"),
        (" jump ", "' jump '"),
    ],
)
def test_unrecognised_quotes_the_text_as_given(instruction, rendered):
    with pytest.raises(InvalidInstructionError, match=r"^Unrecognised instruction: ") as err:
        PARSER.parse(instruction)
    assert str(err.value).startswith(f"Unrecognised instruction: {rendered}. Supported")


@pytest.mark.parametrize("instruction, usage", [
    ('type into "Email"', "type <text> into <target>"),
    ("select from Country", "select <value> from <target>"),
])
def test_separator_only_after_keyword_is_invalid(instruction, usage):
    with pytest.raises(InvalidInstructionError) as err:
        PARSER.parse(instruction)
    # its own message: callers tell an unknown form from a malformed one by the prefix
    assert str(err.value) == f"Malformed instruction: {instruction!r}. Expected: {usage}"
    assert PARSER.validate(instruction), "validation must not call it clean"


def test_error_type_is_a_value_error_of_this_module():
    assert issubclass(InvalidInstructionError, ValueError)
    assert InvalidInstructionError.__module__ == "vantle.engine.agent.step_parser"
    with pytest.raises(ValueError):
        PARSER.parse("jump")


def test_tables():
    assert len(StepParser.SUPPORTED_ACTIONS) == 43
    assert list(StepParser._VERIFY_STATES) == [
        "is present", "is visible", "is enabled", "is disabled", "is not present", "is not visible",
        "is checked", "is not checked", "is unchecked"]
    assert StepParser._VERIFY_TEXT_STATES == {
        "is present": "verify_text_present", "is visible": "verify_text_visible",
        "is not present": "verify_text_not_present", "is not visible": "verify_text_not_visible"}
    assert StepParser._STOP_WORDS == frozenset({"on", "the", "a", "an", "in", "at", "into"})
    # the first word of every phrase parse() reads, "extract_text" included
    assert len(StepParser._KNOWN_ACTIONS) == 28 and {"navigate", "extract_text"} <= StepParser._KNOWN_ACTIONS
    assert sp._ORDINALS == {"first": 1, "second": 2, "third": 3, "fourth": 4, "fifth": 5}
    assert sp._SPATIAL_KW == ("next to ", "below ", "above ", "left of ", "right of ", "under ", "near ")
    assert sp._QUOTE_RE.pattern == '"([^"]+)"'


@pytest.mark.parametrize(
    "text, expected",
    [
        ('click "Log in"', ("click Log in", ["Log in"])),
        ('type x into "First Name"', ("type x into First Name", ["First Name"])),
        ('"a" "" x', ('a "" x', ["a"])),
        ('"a" "" "b', ('a " b', ["a", " "])),
        ('x ""y"', ('x "y', ["y"])),
        ('"multi\nline"', ("multi\nline", ["multi\nline"])),
    ],
)
def test_unquote(text, expected):
    assert StepParser._unquote(text) == expected


@pytest.mark.parametrize(
    "text, expected",
    [("the the  Submit   button ", "Submit button"), ("The An login at home", "login at home"),
     ("on the a", ""), ("", ""), ("into\u2003Box", "Box")],
)
def test_clean_target(text, expected):
    assert StepParser._clean_target(text) == expected


@pytest.mark.parametrize(
    "text, expected",
    [("  Second  button next  ", (2, "button next  ")), ("first", (1, "")), ("third\t", (3, "")),
     ("sixth row", (1, "sixth row")), ("1st row", (1, "1st row")), ("", (1, "")), ("firstly x", (1, "firstly x"))],
)
def test_extract_ordinal(text, expected):
    assert sp._extract_ordinal(text) == expected


def test_is_literal_is_whole_string_and_case_sensitive():
    assert sp._is_literal("Log in", ["x", "Log in"])
    assert not sp._is_literal("log in", ["Log in"])
    assert not sp._is_literal("Log", ["Log in"])


# Lower-casing keeps one code point per code point, so cuts made at positions
# found in the lowered text land at the same place in the original.
@pytest.mark.parametrize(
    "instruction, expected",
    [
        ('type İİİ into "Prénom"', rec("type", "Prénom", "İİİ", literal=True)),
        ("TYPE ǅemal into Ǆ field", rec("type", "Ǆ field", "ǅemal")),
        ('click "登录"', rec("click", "登录", ordinal=1, literal=True)),
        ("CLİCK the 🛒 icon", rec("click", "🛒 icon", ordinal=1)),
        ('\u3000click "Ünïcode"\u3000', rec("click", "Ünïcode", ordinal=1, literal=True)),
        ("verify text next to Größe is 42\u00a0€", rec("verify_spatial_text", "next to Größe", "42\u00a0€")),
        ('verify "Ελληνικά" IS VISIBLE', rec("verify_visible", "Ελληνικά", literal=True)),
        ('click "\ud800"', rec("click", "\ud800", ordinal=1, literal=True)),
    ],
)
def test_unicode_instructions(instruction, expected):
    assert PARSER.parse(instruction) == expected


def test_non_ascii_space_is_not_a_keyword_separator():
    with pytest.raises(InvalidInstructionError):
        PARSER.parse('click\u00a0"Log in"')


@pytest.mark.parametrize(
    "instruction",
    [
        'click "' + "x" * 100_000 + '"',
        '"a" ' * 25_000,
        "click " + "the " * 25_000 + "button",
        "verify text next to " + " is" * 30_000 + " x",
        "click " + "\x00\x1f" * 50_000,
    ],
    ids=["long-literal", "many-literals", "many-stop-words", "many-is", "controls"],
)
def test_long_lines(instruction):
    try:
        record = PARSER.parse(instruction)
    except InvalidInstructionError:
        return
    assert record["action"] in {*StepParser.SUPPORTED_ACTIONS, "wait", "navigate"}


NEVER_LITERAL = {"navigate", "press_key", "accept_dialog", "dismiss_dialog", "verify_dialog", "sendkeys", "wait",
                 "verify_spatial_text", "extract_text_spatial"}


def check_record(instruction, record):
    keys = ["action", "target", "value", "_literal_target"]
    if record["action"] in ("click", "extract_text"):
        keys.insert(3, "ordinal")
        assert record["ordinal"] >= 1
    assert list(record) == keys
    if record["action"] in NEVER_LITERAL:
        assert record["_literal_target"] is False
    else:
        literals = StepParser._unquote(instruction.strip())[1]
        assert record["_literal_target"] == (record["target"] in literals)


words = st.sampled_from(["click ", "type ", " into ", "select ", " from ", '"', "first ", "verify ", "text ",
                         "next to ", " is ", "present", "extract text ", "from ", "wait ", "the ", "İ", " "])
any_text = st.text(st.characters(exclude_categories=()))  # lone surrogates included
instructions = st.one_of(any_text, st.lists(st.one_of(words, any_text.filter(lambda t: len(t) < 5))).map("".join))


@settings(max_examples=500, deadline=None)
@given(instructions)
def test_any_text_gives_a_record_or_invalid_instruction(instruction):
    try:
        record = PARSER.parse(instruction)
    except InvalidInstructionError as err:
        assert str(err).startswith(("Unrecognised instruction: ", "Malformed instruction: "))
        return
    check_record(instruction, record)


@settings(max_examples=300, deadline=None)
@given(any_text.filter(lambda t: '\\"' not in t))
def test_unquote_agrees_with_the_pattern(text):
    assert StepParser._unquote(text) == (sp._QUOTE_RE.sub(r"\1", text), sp._QUOTE_RE.findall(text))


# Inside a pair, \" is a quote of the text, not the end of the pair.
@pytest.mark.parametrize(
    "text, expected",
    [
        ('verify text "Results for \\"lamp\\"" is present', ('verify text Results for "lamp" is present',
                                                             ['Results for "lamp"'])),
        ('click "\\""', ('click "', ['"'])),
        ('click "a\\"', ('click "a\\"', [])),  # never closed: stays as written
        ('type C:\\x into "P"', ('type C:\\x into P', ["P"])),  # a backslash elsewhere is plain text
    ],
)
def test_unquote_reads_escaped_quotes(text, expected):
    assert StepParser._unquote(text) == expected


# Quoted text is taken as written: words of the language are read outside quotes only.
QUOTED = [
    ('verify text "Results for \\"lamp\\"" is present', rec("verify_text_present", 'Results for "lamp"', literal=True)),
    ('click "In transit" checkbox', rec("click", "In transit checkbox", ordinal=1)),
    ('click "The Last Post"', rec("click", "The Last Post", ordinal=1, literal=True)),
    ('click checkbox left of "The Last Post"', rec("click", "checkbox left of The Last Post", ordinal=1)),
    ('find text She said "yes"', rec("find_text", 'She said "yes"')),
    ('find exact text "yes" she said', rec("find_exact_text", '"yes" she said')),
    ('verify text the "Total" is present', rec("verify_text_present", 'the "Total"')),
    ('extract text "below the fold"', rec("extract_text", "below the fold", ordinal=1, literal=True)),
    ('verify text "next to nothing" is present', rec("verify_text_present", "next to nothing", literal=True)),
    ('verify text next to "Status is" is Open', rec("verify_spatial_text", "next to Status is", "Open")),
    ('select "a from b" from "X"', rec("select", "X", "a from b", literal=True)),
    ('verify "Item is present"', None),  # the state ending is quoted: there is none
    ('click "first" button', rec("click", "first button", ordinal=1)),
    ('verify text " x " is present', rec("verify_text_present", " x ", literal=True)),
]


@pytest.mark.parametrize("instruction, expected", QUOTED, ids=[q[0] for q in QUOTED])
def test_quoted_text_is_taken_as_written(instruction, expected):
    if expected is None:
        with pytest.raises(InvalidInstructionError):
            PARSER.parse(instruction)
    else:
        assert PARSER.parse(instruction) == expected

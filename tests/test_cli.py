"""The `vantle` console command, run as a user runs it."""

import os
import subprocess
import sys
from pathlib import Path

import pytest

VANTLE = Path(sys.executable).parent / "vantle"
EXAMPLES = Path(__file__).parent.parent / "examples" / "steps"
NO_INTO = "`type` instruction missing `into` keyword. Expected: type <text> into <target>"


def vantle(*args, cwd=None):
    return subprocess.run([str(VANTLE), *map(str, args)], capture_output=True, cwd=cwd, timeout=120)


def write(path, data):
    path.write_bytes(data if isinstance(data, bytes) else data.encode())
    return path


@pytest.fixture
def files(tmp_path):
    good = write(tmp_path / "good.steps", '# sign in\n\nclick "Log in"\n   \n  # indented comment\nwait 10\n')
    bad = write(tmp_path / "bad.steps", '\n# comment\ntype x\r\nwait 1.5s\rverify "x" is red\n\ntype y')
    return tmp_path, good, bad


def test_clean_files(files):
    cwd, good, _ = files
    run = vantle("validate", good.name, good.name, cwd=cwd)
    assert (run.returncode, run.stdout, run.stderr) == (0, b"2 files, 4 instructions: no issues\n", b"")


def test_issues_carry_the_files_own_line_numbers(files):
    cwd, good, bad = files
    run = vantle("validate", good.name, bad.name, cwd=cwd)
    assert run.returncode == 1
    assert run.stdout.decode().splitlines() == [
        f"bad.steps:3: {NO_INTO}",
        "bad.steps:4: `wait` value must be a number in milliseconds. Got: '1.5s'",
        "bad.steps:5: `verify` instruction missing state. Expected ending: "
        "is present | is visible | is enabled | is disabled | is not present | is not visible"
        " | is checked | is not checked | is unchecked",
        f"bad.steps:7: {NO_INTO}",
        "4 issues in 1 of 2 files",
    ]


# Every instruction the parser calls malformed is an issue here too.
def test_malformed_separators_are_issues(tmp_path):
    write(tmp_path / "a.steps", 'type into "Email"\nSELECT FROM list\n')
    run = vantle("validate", "a.steps", cwd=tmp_path)
    assert run.returncode == 1
    assert run.stdout.decode().splitlines() == [
        "a.steps:1: `type` instruction missing text to type. Expected: type <text> into <target>",
        "a.steps:2: `select` instruction missing value to select. Expected: select <value> from <target>",
        "2 issues in 1 of 1 file",
    ]


@pytest.mark.parametrize("content, summary", [
    (b"", "1 file, 0 instructions: no issues"),
    (b"\xef\xbb\xbfclick x\n", "1 file, 1 instruction: no issues"),
    (b"type x", "1 issue in 1 of 1 file"),
])
def test_summary_wording(tmp_path, content, summary):
    write(tmp_path / "a.steps", content)
    assert vantle("validate", "a.steps", cwd=tmp_path).stdout.decode().splitlines()[-1] == summary


def test_unreadable_file_is_named_and_the_rest_still_checked(files):
    cwd, _, bad = files
    run = vantle("validate", "missing.steps", cwd, bad.name, cwd=cwd)
    assert run.returncode == 2
    err = run.stderr.decode()
    assert "missing.steps: No such file or directory" in err
    assert "Is a directory" in err
    assert run.stdout.decode().splitlines()[-1] == "4 issues in 1 of 1 file; 2 files could not be read"


def test_odd_bytes_and_names_do_not_break_it(tmp_path):
    name = os.fsdecode(b"caf\xe9.steps")  # not UTF-8
    write(tmp_path / name, b'click "\xff\xfe"\n\x00\x01 jump\nclick "\xed\xa0\x80"\n')
    run = vantle("validate", name, cwd=tmp_path)
    assert run.returncode == 1
    assert run.stdout.startswith(b"caf\xe9.steps:2: Unknown action '\\x00\\x01'.")


@pytest.mark.parametrize("args, code, stream, text", [
    (["--help"], 0, "stdout", "validate    Check instruction files"),
    (["validate", "--help"], 0, "stdout", "usage: vantle validate FILE..."),
    (["validate", "a.steps", "-h"], 0, "stdout", "exit status:"),
    ([], 2, "stderr", "vantle: no command given"),
    (["explode"], 2, "stderr", "vantle: unknown command 'explode'"),
    (["validate"], 2, "stderr", "vantle validate: no instruction file given"),
    (["validate", "--strict", "a.steps"], 2, "stderr", "unknown option '--strict'"),
])
def test_arguments(tmp_path, args, code, stream, text):
    run = vantle(*args, cwd=tmp_path)
    assert run.returncode == code
    assert text in getattr(run, stream).decode()


def test_version_is_the_packages():
    from importlib.metadata import version

    import vantle as package

    run = vantle("--version")
    assert (run.returncode, run.stdout.decode()) == (0, f"vantle {version('vantle')}\n")
    assert package.__version__ == version("vantle")


@pytest.mark.parametrize("command", ["validate", "explain"])
def test_help_shows_one_example_of_each_command(command):
    overview = vantle("--help").stdout.decode()
    examples = overview[overview.index("examples:"):].splitlines()[1:3]
    [example] = [line.strip() for line in examples if line.strip().startswith(f"vantle {command} ")]
    # The same example closes the command's own help.
    assert vantle(command, "--help").stdout.decode().rstrip().endswith(example)


def test_double_dash_ends_options(tmp_path):
    write(tmp_path / "-x.steps", "type x\n")
    run = vantle("validate", "--", "-x.steps", cwd=tmp_path)
    assert run.stdout.decode().startswith(f"-x.steps:1: {NO_INTO}")


def test_example_instruction_files_are_clean():
    examples = sorted(EXAMPLES.glob("*.steps"))
    assert len(examples) >= 2
    run = vantle("validate", *examples)
    assert run.returncode == 0, run.stdout.decode()
    assert run.stdout.decode().startswith(f"{len(examples)} files, ")


def test_examples_use_every_instruction_form():
    from vantle.engine.agent.step_parser import StepParser

    parser = StepParser()
    actions = set()
    for path in EXAMPLES.glob("*.steps"):
        for line in path.read_text().splitlines():
            if line.strip() and not line.strip().startswith("#"):
                actions.add(parser.parse(line)["action"])
    assert actions == {*StepParser.SUPPORTED_ACTIONS, "wait", "navigate"}

"""The generated type stubs are shipped and true: a type checker passes over
the examples and a typed usage file, and rejects plain misuse."""

import subprocess
import sys
from pathlib import Path

import pytest

import vantle

pytest.importorskip("mypy")

ROOT = Path(__file__).resolve().parent.parent
PACKAGE = Path(vantle.__file__).parent


def mypy(*paths):
    return subprocess.run([sys.executable, "-m", "mypy", "--check-untyped-defs", "--no-incremental",
                           "--cache-dir", "/dev/null", "--follow-imports=silent", *map(str, paths)],
                          cwd=ROOT, capture_output=True, text=True, timeout=600)


def test_every_extension_module_ships_its_stub():
    modules = [p for p in PACKAGE.rglob("*.so")]
    assert len(modules) >= 10
    assert [m for m in modules if not m.with_name(m.name.split(".")[0] + ".pyi").exists()] == []
    assert (PACKAGE / "py.typed").exists()


def test_examples_and_typed_usage_pass_and_misuse_fails():
    run = mypy(*sorted((ROOT / "examples").glob("*.py")), ROOT / "tests" / "typing" / "usage.py")
    assert run.returncode == 0, run.stdout
    misuse = ROOT / "tests" / "typing" / "misuse.py"
    run = mypy(misuse)
    marked = [n for n, line in enumerate(misuse.read_text().splitlines(), 1) if "# error:" in line]
    flagged = sorted({int(line.split(":")[1]) for line in run.stdout.splitlines() if ": error:" in line})
    assert flagged == marked, run.stdout

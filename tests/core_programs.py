"""Small C++ programs built from parts of the core, for tests that drive the
core's JSON face directly."""

import shutil
import subprocess
from pathlib import Path

import pytest

ROOT = Path(__file__).resolve().parent.parent


def build(tmp_path_factory, program, folders):
    """Compiles tests/cpp/<program>.cpp with the sources of core/src/<folder>
    for each folder; skips the test when no compiler is at hand."""
    cxx = shutil.which("g++")
    flags = subprocess.run(["pkg-config", "--cflags", "--libs", "libutf8proc"], capture_output=True, text=True)
    if not cxx or flags.returncode:
        pytest.skip("needs g++ and libutf8proc")
    sources = [path for folder in folders for path in (ROOT / "core/src" / folder).glob("*.cpp")]
    out = tmp_path_factory.mktemp("cpp") / program
    subprocess.run([cxx, "-O0", "-std=c++17", f"-I{ROOT / 'core/include'}", *map(str, sources),
                    str(ROOT / "tests/cpp" / f"{program}.cpp"), "-o", str(out), *flags.stdout.split()], check=True)
    return out

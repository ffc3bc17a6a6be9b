"""The README's wheel recipe: build a binary wheel, install it into a fresh
virtual environment whose PATH holds no compiler, and use the package, the
command line and the pytest plug-in from there."""

import os
import shlex
import shutil
import subprocess
import sys
from pathlib import Path

import pytest

from test_readme import readme_blocks

ROOT = Path(__file__).resolve().parent.parent

TEST = """
def test_page(agent):
    agent.run('verify text "Built" is present')
"""


def run(command, **kwargs):
    done = subprocess.run(command, capture_output=True, text=True, timeout=1200, **kwargs)
    assert done.returncode == 0, done.stdout[-3000:] + done.stderr[-3000:]
    return done.stdout


# Building the wheel recompiles whatever changed since the last build.
@pytest.mark.timeout(1200)
@pytest.mark.browser
def test_the_wheel_installs_and_works_without_a_compiler(tmp_path):
    build, install = [shlex.split(line) for line in readme_blocks("wheel")[0].splitlines()]
    dist = tmp_path / "dist"
    # Built with the project's own environment, as the README says.
    assert build[0] == ".venv/bin/pip" and build[-2:] == ["dist", "."]
    run([sys.executable, "-m", "pip", *build[1:-2], str(dist), str(ROOT)], cwd=ROOT)
    [wheel] = dist.glob("vantle-*.whl")
    assert "linux" in wheel.name and "none-any" not in wheel.name

    venv = tmp_path / "fresh"
    run([sys.executable, "-m", "venv", str(venv)])
    bin_dir = venv / "bin"
    env = {k: v for k, v in os.environ.items() if not k.startswith(("VANTLE_", "PYTEST_", "PYTHON"))}
    env["PATH"] = str(bin_dir)
    assert not [c for c in ("cc", "gcc", "g++", "c++", "clang", "cmake") if shutil.which(c, path=env["PATH"])]
    run([str(bin_dir / install[0]), *install[1:-1], str(wheel)], env=env)

    out = run([str(bin_dir / "python"), "-c", "import vantle; print(vantle.__version__, vantle.settings.SCAN_MODE)"],
              env=env, cwd=tmp_path)
    assert out.split() == [run([sys.executable, "-c", "import vantle; print(vantle.__version__)"]).strip(), "batched"]
    assert run([str(bin_dir / "vantle"), "--version"], env=env).startswith("vantle ")
    steps = tmp_path / "check.steps"
    steps.write_text('click "Go"\n')
    assert "no issues" in run([str(bin_dir / "vantle"), "validate", str(steps)], env=env)

    project = tmp_path / "project"
    project.mkdir()
    (project / "page.html").write_text("<p>Built</p>")
    (project / "vantle.web.config.py").write_text(f"URL = {(project / 'page.html').as_uri()!r}\n")
    (project / "test_built.py").write_text(TEST)
    out = run([str(bin_dir / "python"), "-m", "pytest", "-p", "no:cacheprovider"], env=env, cwd=project)
    assert "1 passed" in out
    assert (project / "test_report" / "report.html").exists()
    # The shipped stubs came along.
    site = next((venv / "lib").glob("python*/site-packages/vantle"))
    assert (site / "_agent.pyi").exists() and (site / "py.typed").exists()

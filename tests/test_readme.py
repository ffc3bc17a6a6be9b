"""Every example in the README runs, so the README cannot drift from the code.

Each code block in README.md is preceded by a marker `<!-- example: KIND -->`
naming how it runs; a block without a marker fails the first test here.
Examples that need a web page get the bundled demo shop on a loopback port.
"""

import functools
import http.server
import os
import re
import shlex
import shutil
import subprocess
import sys
import threading
from pathlib import Path

import pytest

from vantle.harness import fixtures

ROOT = Path(__file__).resolve().parent.parent
README = ROOT / "README.md"
BIN = Path(sys.executable).parent
SHOP = "http://127.0.0.1:8000/"
LEAN = ("-p", "no:hypothesispytest", "-p", "no:cacheprovider")


def blocks():
    """(kind, text) of every indented code block, in order; kind None when unmarked."""
    found, kind, lines = [], None, None
    for line in README.read_text(encoding="utf-8").splitlines() + ["end"]:
        indented = line.startswith("    ") and line.strip()
        if lines is not None and (indented or not line.strip()):
            lines.append(line[4:])
            continue
        if lines is not None:
            found.append((kind, "\n".join(lines).rstrip("\n") + "\n"))
            kind, lines = None, None
        marker = re.fullmatch(r"<!-- example: ([\w-]+) -->", line.strip())
        if marker:
            kind = marker.group(1)
        elif indented:
            lines = [line[4:]]
    return found


def readme_blocks(kind):
    return [text for k, text in blocks() if k == kind]


def examples_of(*kinds):
    return [pytest.param(k, text, id=f"{k}-{i}") for i, (k, text) in enumerate(blocks()) if k in kinds]


def test_every_code_block_says_how_it_runs():
    unmarked = [text for kind, text in blocks() if kind is None]
    assert unmarked == []
    assert len(blocks()) >= 15


@pytest.fixture(scope="module")
def shop():
    """The demo shop on a loopback port: its base address, ending in a slash."""

    class Quiet(http.server.SimpleHTTPRequestHandler):
        def log_message(self, *args):
            pass

    handler = functools.partial(Quiet, directory=str(ROOT / "examples" / "site"))
    httpd = http.server.ThreadingHTTPServer(("127.0.0.1", 0), handler)
    threading.Thread(target=httpd.serve_forever, daemon=True).start()
    yield f"http://127.0.0.1:{httpd.server_address[1]}/"
    httpd.shutdown()
    httpd.server_close()


def venv_env(**extra):
    env = dict(os.environ, PATH=f"{BIN}{os.pathsep}{os.environ['PATH']}", **extra)
    for name in ("VANTLE_BROWSER_WS_ENDPOINT", "VANTLE_SAVE_SNAPSHOTS", "VANTLE_SCAN_MODE", "VANTLE_REPORT_DIR",
                 "PYTEST_XDIST_WORKER"):
        env.pop(name, None)
    return env


def run_python(code, cwd):
    run = subprocess.run([sys.executable, "-c", code], cwd=cwd, env=venv_env(), capture_output=True, text=True,
                         timeout=240)
    assert run.returncode == 0, run.stderr
    return run


@pytest.mark.parametrize("kind, text", examples_of("ci"))
def test_setup_commands_exist_and_ci_runs_the_test_one(kind, text):
    for line in text.splitlines():
        command = shlex.split(line)
        assert command[0] == "bash"
        script = ROOT / command[1]
        assert subprocess.run(["bash", "-n", str(script)]).returncode == 0
    ci = (ROOT / ".ci" / "run").read_text()
    assert "scripts/test.sh" in ci


@pytest.mark.browser
@pytest.mark.parametrize("kind, text", examples_of("python"))
def test_python_examples(kind, text, shop, tmp_path):
    run = run_python(text.replace(SHOP, shop), tmp_path)
    # The example that catches a failed step prints what it says.
    assert ("except StepFailed" in text) == ("Gift card" in run.stdout)


def test_settings_table_matches_the_settings():
    rows = [line.split() for line in readme_blocks("settings-table")[0].splitlines()]
    code = "import vantle, json; print(json.dumps({n: getattr(vantle.settings, n) for n in %r}))" % [r[0] for r in rows]
    import json

    values = json.loads(run_python(code, ROOT).stdout)
    for name, variable, default, *_ in rows:
        assert variable == f"VANTLE_{name}"
        assert json.dumps(values[name]) in (default, json.dumps(default), default.lower())


def project(pytester, shop, **extra):
    config = f"URL = {shop + 'index.html'!r}\n" + "".join(f"{k} = {v!r}\n" for k, v in extra.items())
    pytester.makefile(".web.config.py", vantle=config)


@pytest.mark.browser
@pytest.mark.parametrize("kind, text", examples_of("steps", "steps-file"))
def test_step_examples_pass_on_the_demo_shop(kind, text, pytester, shop):
    project(pytester, shop)
    pytester.makefile(".steps", test_readme=text)
    result = pytester.runpytest_subprocess(*LEAN, timeout=240)
    tests = max(1, text.count("\n## "))
    result.assert_outcomes(passed=tests)


@pytest.mark.browser
@pytest.mark.parametrize("kind, text", examples_of("pytest-file"))
def test_pytest_examples_pass_on_the_demo_shop(kind, text, pytester, shop):
    project(pytester, shop)
    pytester.makepyfile(test_readme=text)
    result = pytester.runpytest_subprocess(*LEAN, timeout=240)
    result.assert_outcomes(passed=text.count("def test_"))


def test_layout_names_every_core_folder_and_nothing_that_is_gone():
    text = readme_blocks("layout")[0]
    named = re.findall(r"^\s*(\S+/)\s", text, re.M)
    for path in named:
        assert (ROOT / path).is_dir(), path
    folders = {p.name for p in (ROOT / "core" / "include" / "vantle").iterdir() if p.is_dir()}
    folders |= {p.name for p in (ROOT / "core" / "src").iterdir() if p.is_dir()}
    assert {f"core/src/{f}/" for f in folders} <= set(named)


def test_options_table_matches_the_plug_in():
    rows = [re.split(r"\s{2,}", line.strip()) for line in readme_blocks("options-table")[0].splitlines()]
    specs = {flag: key for flag, key, _ in fixtures._option_specs()}
    assert [r[0].split()[0] for r in rows] == list(specs)
    defaults = fixtures._resolve_options({}, {})
    for usage, key, default, _ in rows:
        assert specs[usage.split()[0]] == key
        assert str(defaults[key]) == default, key


@pytest.mark.parametrize("kind, text", examples_of("config"))
def test_configuration_examples_use_keys_the_plug_in_reads(kind, text):
    namespace = {}
    exec(text, namespace)
    keys = {k for k in namespace if k.isupper()}
    assert keys and keys <= set(fixtures.CONFIG_KEYS)
    fixtures._resolve_options({}, {k: namespace[k] for k in keys})


def copy_examples(tmp_path):
    target = tmp_path / "examples"
    shutil.copytree(ROOT / "examples", target, ignore=shutil.ignore_patterns("test_report", "__pycache__"))
    return target


@pytest.mark.browser
@pytest.mark.parametrize("kind, text", examples_of("shell-examples"))
def test_example_suite_commands(kind, text, tmp_path):
    examples = copy_examples(tmp_path)
    for line in text.splitlines():
        command = shlex.split(line)
        assert command[0] == "pytest"
        run = subprocess.run([sys.executable, "-m", *command, "--timeout=300"], cwd=examples, env=venv_env(),
                             capture_output=True, text=True, timeout=900)
        assert run.returncode == 0, run.stdout[-3000:]
        html = (examples / "test_report" / "report.html").read_text(encoding="utf-8")
        for flag, folder, suffix in (("--tracing on", "traces", ".zip"), ("--video on", "videos", ".webm")):
            if flag in line:
                kept = list((examples / "test_report" / folder).glob("*" + suffix))
                assert kept and all(f'href="{folder}/{k.name}"' in html for k in kept)


@pytest.mark.parametrize("kind, text", examples_of("shell"))
def test_command_line_examples(kind, text):
    for line in text.splitlines():
        command = shlex.split(line)
        run = subprocess.run([str(BIN / command[0]), *command[1:]], cwd=ROOT, env=venv_env(), capture_output=True,
                             text=True, timeout=120)
        assert run.returncode == 0, run.stderr
        assert run.stdout


@pytest.mark.browser
@pytest.mark.parametrize("kind, text", examples_of("explain"))
def test_explain_example(kind, text, shop, tmp_path):
    # A snapshot of the demo shop's product list, as a run leaves one.
    run_python(
        "import vantle\n"
        "vantle.settings.SAVE_SNAPSHOTS = True\n"
        "vantle.settings.LOG_PATH = 'logs'\n"
        f"with vantle.WebAgent({shop + 'index.html'!r}) as agent:\n"
        "    agent.run('type standard_user into \"Username\"')\n"
        "    agent.run('type secret_sauce into \"Password\"')\n"
        "    agent.run('click \"Log in\"')\n"
        "    agent.run('verify \"Trail Backpack\" is present')\n",
        tmp_path,
    )
    snapshot = sorted((tmp_path / "logs").glob("*.json"))[-1]
    command = shlex.split(text.replace("SNAPSHOT.json", shlex.quote(str(snapshot))))
    run = subprocess.run([str(BIN / command[0]), *command[1:]], capture_output=True, text=True, timeout=120)
    assert run.returncode == 0, run.stdout + run.stderr
    assert "button" in run.stdout


@pytest.mark.parametrize("kind, text", examples_of("step-forms"))
def test_step_forms_are_clean_instructions(kind, text):
    from vantle.engine.agent.step_parser import StepParser

    parser = StepParser()
    for line in text.splitlines():
        step = line.split("  #")[0].strip()  # what follows two spaces and '#' explains the step
        assert parser.validate(step) == [], step
        assert parser.parse(step)["action"] not in ("", None), step


# Blocks whose run needs a whole test module of their own.
RUN_ELSEWHERE = {"servers": "test_harness_servers.py", "wheel": "test_wheel.py"}


@pytest.mark.parametrize("kind", sorted(RUN_ELSEWHERE))
def test_blocks_run_elsewhere_are_read_there(kind):
    assert readme_blocks(kind)
    assert f'readme_blocks("{kind}")' in (ROOT / "tests" / RUN_ELSEWHERE[kind]).read_text()
    known = {"ci", "python", "settings-table", "steps", "steps-file", "pytest-file", "layout", "options-table",
             "config", "shell-examples", "shell", "explain", "step-forms"} | set(RUN_ELSEWHERE)
    assert {k for k, _ in blocks()} <= known

"""The pytest plug-in: project configuration search, --vantle-report, the
reporter's registration and the agent fixture."""

import os
from pathlib import Path

import pytest

import vantle
from harness_support import FAKE_BROWSER_CONFTEST
from vantle.harness import fixtures

CONFIG = "vantle.web.config.py"


class RecordingAgent:
    """Stands in for the browser agent: records how it was made and closed."""

    made = []

    def __init__(self, **kwargs):
        self.context = kwargs.pop("context")
        self.file_roots = kwargs.pop("file_roots", None)
        self.kwargs = kwargs
        self.closed = 0
        self._steps = [{"instruction": f"step of agent {len(self.made)}", "status": "passed"}]
        self.made.append(self)

    def close(self):
        self.closed += 1


@pytest.fixture
def recording_agent(monkeypatch, pytester):
    pytester.makeconftest(FAKE_BROWSER_CONFTEST)
    RecordingAgent.made = []
    monkeypatch.setattr(vantle, "WebAgent", RecordingAgent, raising=False)
    monkeypatch.delenv("VANTLE_BROWSER_WS_ENDPOINT", raising=False)
    return RecordingAgent


# The hypothesis plug-in would import its whole library anew in every run.
LEAN = ("-p", "no:hypothesispytest", "-p", "no:cacheprovider")


def inner_config(reprec):
    return reprec.getcall("pytest_sessionfinish").session.config


def reporter_of(config):
    return config.pluginmanager.get_plugin("vantle_reporter")


class TestFindConfig:
    @pytest.mark.parametrize(
        "configs, expected",
        [
            (["a"], "a"),
            (["a", "a/b"], "a/b"),
            (["a", "a/b/c"], "a/b/c"),
        ],
    )
    def test_nearest_file_going_up_wins(self, tmp_path, monkeypatch, configs, expected):
        for where in configs:
            (tmp_path / where).mkdir(parents=True, exist_ok=True)
            (tmp_path / where / CONFIG).write_text(f"FROM = {where!r}\n")
        (tmp_path / "a/b/c").mkdir(parents=True, exist_ok=True)
        monkeypatch.chdir(tmp_path / "a/b/c")
        cfg, config_dir = fixtures._find_config()
        assert cfg["FROM"] == expected
        assert Path(config_dir) == tmp_path / expected
        assert fixtures._load_project_config()["FROM"] == expected

    def test_without_a_file_the_record_is_empty_and_the_directory_is_cwd(self, tmp_path, monkeypatch):
        monkeypatch.chdir(tmp_path)
        assert fixtures._find_config() == ({}, str(tmp_path))

    def test_the_script_runs_in_a_fresh_namespace_each_read(self, tmp_path, monkeypatch):
        (tmp_path / CONFIG).write_text(
            "import os\nCOUNT = len(globals())\nURL = 'http://x/' + os.sep\nSCREENSHOTS_ON_FAILURE = True\n"
        )
        monkeypatch.chdir(tmp_path)
        first, second = fixtures._load_project_config(), fixtures._load_project_config()
        assert first is not second
        assert first["URL"] == "http://x//" and first["SCREENSHOTS_ON_FAILURE"] is True
        assert first["COUNT"] == second["COUNT"]

    @pytest.mark.parametrize(
        "make, error",
        [
            (lambda p: p.write_text("URL = 'unclosed\n"), SyntaxError),
            (lambda p: p.write_text("raise RuntimeError('bad config')\n"), RuntimeError),
            (lambda p: p.mkdir(), IsADirectoryError),
        ],
        ids=["syntax", "runtime", "directory"],
    )
    def test_a_broken_configuration_raises(self, tmp_path, monkeypatch, make, error):
        make(tmp_path / CONFIG)
        monkeypatch.chdir(tmp_path)
        with pytest.raises(error):
            fixtures._find_config()


class TestConfigure:
    @pytest.mark.parametrize(
        "config_text, args, result_dir, report",
        [
            (None, [], "test_report", "{cwd}/test_report/report.html"),
            ("RESULT_DIR = 'out'\n", [], "out", "{cfg}/out/report.html"),
            ("RESULT_DIR = 'out'\n", ["--vantle-report", "r.html"], "out", "r.html"),
        ],
        ids=["no-config", "result-dir", "option"],
    )
    def test_report_path_and_result_dir(self, pytester, config_text, args, result_dir, report):
        cfg_dir = pytester.path / "a"
        cwd = cfg_dir / "b" / "c"
        cwd.mkdir(parents=True)
        if config_text is not None:
            (cfg_dir / CONFIG).write_text(config_text)
        (cwd / "test_x.py").write_text("def test_x(): pass\n")
        os.chdir(cwd)
        reprec = pytester.inline_run(*args, *LEAN)
        config = inner_config(reprec)
        assert config._vantle_result_dir == result_dir
        reporter = reporter_of(config)
        assert reporter.config is config
        assert reporter.report_path == report.format(cwd=cwd, cfg=cfg_dir)

    def test_option_is_in_the_vantle_group(self, pytester):
        result = pytester.runpytest("--help", *LEAN)
        result.stdout.fnmatch_lines(["vantle:", "*--vantle-report=VANTLE_REPORT*", "*Path to vantle HTML report output file*"])

    def test_a_failing_configuration_stops_the_run(self, pytester):
        pytester.makefile(".web.config.py", vantle="raise ValueError('no such setting')\n")
        pytester.makepyfile("def test_x(): pass\n")
        result = pytester.runpytest_subprocess(*LEAN)
        assert result.ret != 0
        assert "no such setting" in result.stderr.str() + result.stdout.str()


class TestAgentFixture:
    def test_agents_get_the_configuration_and_their_steps_are_filed(self, pytester, recording_agent):
        pytester.makefile(".web.config.py", vantle="URL = 'http://app.test/'\nSCREENSHOTS_ON_FAILURE = True\n")
        pytester.makepyfile(
            test_two="""
            def test_pass(agent):
                assert not agent.closed
            def test_fail(agent):
                assert False, 'fails on purpose'
            def test_no_agent():
                pass
            """
        )
        reprec = pytester.inline_run(*LEAN)
        reprec.assertoutcome(passed=2, failed=1)
        made = recording_agent.made
        assert [a.kwargs for a in made] == [{"url": "http://app.test/", "screenshots": True, "timeout_ms": 5000}] * 2
        # Files to upload are looked for beside the test file and the configuration.
        assert all(set(a.file_roots) == {str(pytester.path)} for a in made)
        # Each agent has a context of its own from the run's one browser.
        assert len({id(a.context) for a in made}) == 2
        assert [a.closed for a in made] == [1, 1]
        store = inner_config(reprec)._vantle_steps
        assert list(store) == ["test_two.py::test_pass", "test_two.py::test_fail"]
        # The agent's own sequence, filed after a failure too.
        assert [store[k] for k in store] == [a._steps for a in made]
        assert all(store[k] is a._steps for k, a in zip(store, made))

    def test_without_configuration_url_is_none_and_failed_steps_get_screenshots(self, pytester, recording_agent):
        pytester.makepyfile("def test_one(agent): pass\n")
        pytester.inline_run(*LEAN).assertoutcome(passed=1)
        assert recording_agent.made[0].kwargs == {"url": None, "screenshots": True, "timeout_ms": 5000}
        assert recording_agent.made[0].file_roots[0] == str(pytester.path)

    @pytest.mark.parametrize(
        "config_value, env_value, worker, expected",
        [
            ("ws://cfg:1/", None, None, "ws://cfg:1/"),
            ("ws://cfg:1/", "ws://env:2/", None, "ws://env:2/"),
            (None, "ws://env:2/", None, "ws://env:2/"),
            ("", None, None, None),
            (["ws://a:1/", "ws://b:2/"], None, "gw0", "ws://a:1/"),
            (["ws://a:1/", "ws://b:2/"], None, "gw3", "ws://b:2/"),
            ("ws://cfg:1/", "ws://a:1/, ws://b:2/,ws://c:3/", "gw2", "ws://c:3/"),
            ("ws://cfg:1/", "ws://a:1/ ws://b:2/", "gw4", "ws://a:1/"),
        ],
    )
    def test_browser_server_endpoint(self, monkeypatch, config_value, env_value, worker, expected):
        for name, value in (("VANTLE_BROWSER_WS_ENDPOINT", env_value), ("PYTEST_XDIST_WORKER", worker)):
            if value is None:
                monkeypatch.delenv(name, raising=False)
            else:
                monkeypatch.setenv(name, value)
        cfg = {} if config_value is None else {"BROWSER_WS_ENDPOINT": config_value}
        assert fixtures._browser_endpoint(cfg) == expected

    def test_constructor_or_close_failure_files_no_steps(self, pytester, monkeypatch):
        class Broken(RecordingAgent):
            attempts = 0

            def __init__(self, **kwargs):
                Broken.attempts += 1
                if Broken.attempts == 1:
                    raise ConnectionError("cannot start browser")
                super().__init__(**kwargs)

            def close(self):
                raise OSError("browser went away")

        RecordingAgent.made = []
        pytester.makeconftest(FAKE_BROWSER_CONFTEST)
        monkeypatch.setattr(vantle, "WebAgent", Broken, raising=False)
        pytester.makepyfile("def test_refused(agent): pass\ndef test_closes_badly(agent): pass\n")
        reprec = pytester.inline_run(*LEAN)
        errors = [r for r in reprec.getreports("pytest_runtest_logreport") if r.failed]
        assert [(r.nodeid.split("::")[1], r.when) for r in errors] == [
            ("test_refused", "setup"),
            ("test_closes_badly", "teardown"),
        ]
        assert not hasattr(inner_config(reprec), "_vantle_steps")

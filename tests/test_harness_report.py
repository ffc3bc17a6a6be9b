"""The HTML report plug-in: what it records from pytest's phase reports,
the figures and markup it renders, and the file it writes."""

import re
import types
from html.parser import HTMLParser

import pytest

from vantle.harness.reporter import VantleReporter

LEAN = ("-p", "no:hypothesispytest", "-p", "no:cacheprovider")


def record(nodeid, status, duration=0.5, message="", when="call"):
    file, _, test = nodeid.partition("::")
    return dict(nodeid=nodeid, file=file, test=test, status=status, duration=duration, message=message, when=when)


def rendered(records, steps=None):
    config = types.SimpleNamespace()
    if steps is not None:
        config._vantle_steps = steps
    reporter = VantleReporter("unused.html", config)
    reporter.results.extend(records)
    return reporter._render()


class Markup(HTMLParser):
    """Start tags with their attributes, and the text inside elements of a class."""

    def __init__(self, html):
        super().__init__(convert_charrefs=True)
        self.tags, self.texts, self._open = [], {}, []
        self.feed(html)

    def handle_starttag(self, tag, attrs):
        attrs = dict(attrs)
        self.tags.append((tag, attrs))
        if tag not in ("img", "meta", "br", "input"):
            self._open.append(attrs.get("class", "").split())

    def handle_endtag(self, tag):
        if self._open and tag not in ("img", "meta", "br", "input"):
            self._open.pop()

    def handle_data(self, data):
        for classes in self._open[-1:]:
            for cls in classes:
                self.texts.setdefault(cls, []).append(data)

    def cards(self):
        return dict(zip(self.texts["card-label"], self.texts["card-value"]))


class TestRecording:
    SUITE = """
        import pytest

        @pytest.fixture
        def broken():
            raise RuntimeError("set-up exploded")

        def test_pass():
            pass

        def test_fail():
            assert 1 == 2, "numbers differ"

        def test_setup_error(broken):
            pass

        @pytest.mark.skip(reason="not today")
        def test_skip_marker():
            pass

        @pytest.mark.skipif(True, reason="never here")
        def test_skipif_marker():
            pass

        def test_skip_inside():
            pytest.skip("inside")

        class TestGroup:
            def test_method(self):
                pass
    """

    def test_one_record_per_test_matching_pytest_counts(self, pytester):
        pytester.makepyfile(test_suite=self.SUITE)
        reprec = pytester.inline_run(*LEAN)
        config = reprec.getcall("pytest_sessionfinish").session.config
        results = config.pluginmanager.get_plugin("vantle_reporter").results
        got = [(r["test"], r["status"], r["when"]) for r in results]
        assert got == [
            ("test_pass", "passed", "call"),
            ("test_fail", "failed", "call"),
            ("test_setup_error", "failed", "setup"),
            ("test_skip_marker", "skipped", "setup"),
            ("test_skipif_marker", "skipped", "setup"),
            ("test_skip_inside", "skipped", "call"),
            ("TestGroup::test_method", "passed", "call"),
        ]
        assert {r["file"] for r in results} == {"test_suite.py"}
        assert all(r["nodeid"] == f"test_suite.py::{r['test']}" for r in results)
        passed, skipped, failed = reprec.countoutcomes()
        statuses = [r["status"] for r in results]
        assert (statuses.count("passed"), statuses.count("skipped")) == (passed, skipped)
        messages = {r["test"]: r["message"] for r in results}
        assert messages["test_pass"] == ""
        assert messages["test_fail"].startswith("AssertionError: numbers differ")
        assert messages["test_setup_error"] == "RuntimeError: set-up exploded"
        assert "Skipped: not today" in messages["test_skip_marker"]
        assert "Skipped: never here" in messages["test_skipif_marker"]
        assert "Skipped: inside" in messages["test_skip_inside"]
        assert all(isinstance(r["duration"], float) and r["duration"] >= 0 for r in results)

    @pytest.mark.parametrize(
        "longrepr, expected",
        [
            (None, ""),
            (types.SimpleNamespace(reprcrash=types.SimpleNamespace(message="E: crash")), "E: crash"),
            ("  Traceback\n  line two\nValueError: last words  \n\n", "ValueError: last words"),
            ("single", "single"),
        ],
    )
    def test_extract_message(self, longrepr, expected):
        report = types.SimpleNamespace(longrepr=longrepr)
        assert VantleReporter("r.html", None)._extract_message(report) == expected

    @pytest.mark.parametrize(
        "fields, expected",
        [
            (dict(when="setup", passed=False, failed=True, longrepr="x\nboom"), ("failed", "boom", "setup")),
            (dict(when="setup", passed=False, failed=False, longrepr=None), ("skipped", "", "setup")),
            (dict(when="call", passed=False, failed=False, longrepr="why"), ("skipped", "why", "call")),
            (dict(when="setup", passed=True, failed=False, longrepr=None), None),
            (dict(when="teardown", passed=False, failed=True, longrepr="t"), None),
        ],
    )
    def test_which_phases_are_recorded(self, fields, expected):
        reporter = VantleReporter("r.html", types.SimpleNamespace())
        reporter.pytest_runtest_logreport(types.SimpleNamespace(nodeid="f.py", **fields))
        got = [(r["status"], r["message"], r["when"]) for r in reporter.results]
        assert got == ([expected] if expected else [])
        # A report without a duration counts as 0.0; a node id without "::" has no test part.
        assert all(r["duration"] == 0.0 and r["file"] == "f.py" and r["test"] == "" for r in reporter.results)


class TestSummary:
    @pytest.mark.parametrize(
        "statuses, cards",
        [
            ([], ("0", "0", "0", "0", "0", "0", "0%")),
            (["passed", "passed", "failed"], ("3", "2", "1", "0", "0", "0", "67%")),
            (["passed", "skipped"], ("2", "1", "0", "1", "0", "0", "50%")),
            (["passed"] + ["failed"] * 7, ("8", "1", "7", "0", "0", "0", "12%")),
            (["passed"] * 3 + ["failed"] * 5, ("8", "3", "5", "0", "0", "0", "38%")),
            (["passed", "odd"], ("2", "1", "0", "0", "0", "0", "50%")),
            # As pytest's summary line: an expected failure is not a pass, nor is an unexpected pass.
            (["passed", "xfailed", "xpassed", "xfailed"], ("4", "1", "0", "0", "2", "1", "25%")),
        ],
    )
    def test_cards(self, statuses, cards):
        html = rendered([record(f"t.py::test_{i}", s) for i, s in enumerate(statuses)])
        got = Markup(html).cards()
        assert list(got) == ["Total", "Passed", "Failed", "Skipped", "XFailed", "XPassed", "Pass Rate", "Duration"]
        assert tuple(got[k] for k in list(got)[:7]) == cards
        assert re.fullmatch(r"\d+\.\d{1,2}s", got["Duration"])
        assert f"Completed in {got['Duration']}" in html

    def test_no_tests_no_groups(self):
        markup = Markup(rendered([]))
        assert not [t for t, a in markup.tags if a.get("class") == "file-group"]

    def test_groups_keep_first_occurrence_order_and_show_needed_badges(self):
        html = rendered(
            [
                record("b.py::test_1", "passed"),
                record("a.py::test_1", "failed"),
                record("b.py::test_2", "passed"),
                record("a.py::test_2", "skipped"),
                record("a.py::test_3", "passed", duration=1.234),
            ]
        )
        markup = Markup(html)
        assert [a["data-file"] for t, a in markup.tags if a.get("class") == "file-group"] == ["b.py", "a.py"]
        assert markup.texts["file-name"] == ["b.py", "a.py"]
        counts = [t for t in markup.texts["badge"] if t[0].isdigit()]
        assert counts == ["2 passed", "1 passed", "1 failed", "1 skipped"]
        rows = [a for t, a in markup.tags if a.get("class") == "test-row"]
        assert [(r["data-file"], r["data-status"]) for r in rows] == [
            ("b.py", "passed"), ("b.py", "passed"), ("a.py", "failed"), ("a.py", "skipped"), ("a.py", "passed")
        ]
        assert markup.texts["icon"] == ["✓", "✓", "✗", "○", "✓"]
        assert markup.texts["duration"][-1] == "1.23s"


class TestSteps:
    STEPS = [
        {"instruction": 'click "Log in"', "status": "passed", "screenshot": "UEFTU0VE"},
        {"instruction": 'verify "Products" is present', "status": "error", "message": "not found",
         "screenshot": "RkFJTEVE"},
        {"instruction": "press Enter", "status": "failed", "message": ""},
    ]

    def test_steps_rows_and_button(self):
        html = rendered(
            [record("t.py::test_a", "passed"), record("t.py::test_b", "failed")], {"t.py::test_b": self.STEPS}
        )
        markup = Markup(html)
        buttons = [a for t, a in markup.tags if a.get("class") == "expand-btn"]
        assert [b["onclick"] for b in buttons] == ["toggleSteps('steps-t.py-1', this); event.stopPropagation()"]
        containers = [a for t, a in markup.tags if "steps-container" in a.get("class", "")]
        assert containers == [{"class": "steps-container hidden", "id": "steps-t.py-1"}]
        assert markup.texts["step-text"] == [s["instruction"] for s in self.STEPS]
        assert markup.texts["step-msg"] == ["not found"]
        # Only the step that did not pass keeps its picture.
        images = [a for t, a in markup.tags if t == "img"]
        assert images == [{"src": "data:image/png;base64,RkFJTEVE", "alt": "screenshot"}]
        step_icons = [a["class"] for t, a in markup.tags if a.get("style") == "font-size:11px"]
        assert step_icons == ["icon passed", "icon error", "icon failed"]
        assert "".join(markup.texts["icon"]).endswith("✓✗✗")

    def test_missing_store_means_no_steps(self):
        markup = Markup(rendered([record("t.py::test_a", "passed")]))
        assert not [a for t, a in markup.tags if a.get("class") == "expand-btn"]


class TestEscaping:
    NASTY = [
        'type <b>x</b> into "Name"',
        "<img src=x onerror=alert(1)>",
        "</script><script>alert(1)</script>",
        "it's & that's",
    ]

    @pytest.mark.parametrize("text", NASTY)
    def test_inserted_values_stay_text(self, text):
        file = f"dir/{text}.py"
        steps = {f"{file}::test_{text}": [{"instruction": text, "status": text, "message": text}]}
        html = rendered([record(f"{file}::test_{text}", text)], steps)
        markup = Markup(html)
        assert {t for t, a in markup.tags} <= {
            "html", "head", "meta", "title", "style", "body", "header", "h1", "div", "main", "section",
            "span", "button", "table", "thead", "tbody", "tr", "th", "td", "script",
        }
        assert [t for t, a in markup.tags].count("script") == 1
        assert markup.texts["step-text"][0] == text
        assert markup.texts["step-msg"] == [text]
        assert markup.texts["test-name"] == [f"test_{text}"]
        assert markup.texts["file-name"] == [file]
        row = next(a for t, a in markup.tags if a.get("class") == "test-row")
        assert (row["data-file"], row["data-status"]) == (file, text)
        container = next(a for t, a in markup.tags if "steps-container" in a.get("class", ""))
        assert container["id"] == f"steps-{file}-0"
        # The onclick argument is a JavaScript string holding exactly that id.
        button = next(a for t, a in markup.tags if a.get("class") == "expand-btn")
        literal = re.fullmatch(r"toggleSteps\('((?:[^'\\]|\\u[0-9a-f]{4})*)', this\); event.stopPropagation\(\)",
                               button["onclick"])
        assert literal, button["onclick"]
        assert re.sub(r"\\u([0-9a-f]{4})", lambda m: chr(int(m.group(1), 16)), literal.group(1)) == container["id"]


class TestWriting:
    def test_writes_utf8_file_creating_directories_and_replacing(self, tmp_path):
        path = tmp_path / "deep" / "er" / "report.html"
        path.parent.mkdir(parents=True)
        path.write_text("old")
        reporter = VantleReporter(str(path), types.SimpleNamespace())
        reporter.results.append(record("t.py::test_é", "passed"))
        reporter.pytest_sessionfinish(None, 0)
        text = path.read_bytes().decode("utf-8")
        assert text.startswith("<!DOCTYPE html>") and "test_é" in text and "old" not in text

    def test_relative_path_without_directory(self, tmp_path, monkeypatch):
        monkeypatch.chdir(tmp_path)
        VantleReporter("r.html", types.SimpleNamespace()).pytest_sessionfinish(None, 0)
        assert "<title>vantle — Test Report</title>" in (tmp_path / "r.html").read_text(encoding="utf-8")

    def test_unwritable_path_surfaces(self, tmp_path):
        (tmp_path / "file").write_text("")
        with pytest.raises(OSError):
            VantleReporter(str(tmp_path / "file" / "r.html"), types.SimpleNamespace()).pytest_sessionfinish(None, 0)

"""`vantle explain`: an instruction resolved offline against a saved DOM snapshot."""

import json
import subprocess
import sys
from pathlib import Path

import pytest

from vantle import _explain

VANTLE = Path(sys.executable).parent / "vantle"


def element(tag, text, x, y, *, visible=True, label=None, path, w=80, h=24, **attrs):
    if label is not None:
        attrs["_label"] = label
    return {
        "tag": tag, "text": text, "attributes": attrs,
        "bounding_box": {"x": x, "y": y, "width": w, "height": h},
        "is_visible": visible, "is_enabled": True, "xpath": path,
    }


def text_element(text, x, y, path):
    return {
        "tag": "span", "text": text, "has_direct_text": True, "attributes": {},
        "bounding_box": {"x": x, "y": y, "width": 60, "height": 20},
        "is_visible": True, "is_enabled": True, "xpath": path,
    }


SNAPSHOT = {
    "url": "http://shop.test/choices.html",
    "elements": [
        element("button", "Add to cart", 10, 100, path="/html[1]/body[1]/div[1]/button[1]"),
        element("button", "Add", 120, 100, path="/html[1]/body[1]/div[1]/button[2]"),
        element("button", "Save", 10, 150, visible=False, path="/html[1]/body[1]/div[2]/button[1]"),
        element("button", "Save draft", 120, 150, path="/html[1]/body[1]/div[2]/button[2]"),
        element("button", "Go", 100, 200, path="/html[1]/body[1]/div[3]/button[1]"),
        element("button", "Later", 200, 200, path="/html[1]/body[1]/div[3]/button[2]"),
        element("button", "Edit", 10, 300, path="/html[1]/body[1]/div[4]/button[1]"),
        element("button", "Edit", 10, 260, path="/html[1]/body[1]/div[5]/button[1]"),
        element("input", "", 100, 400, label="Email", type="text", path="/html[1]/body[1]/div[6]/input[1]"),
    ],
    "text_elements": [
        text_element("Sign up", 10, 202, "/html[1]/body[1]/div[3]/span[1]"),
        text_element("Order total: $29.00", 10, 500, "/html[1]/body[1]/p[1]"),
    ],
}


def paths(records):
    return [r["xpath"] for r in records]


@pytest.mark.parametrize("instruction, strategy, chosen, rule_words", [
    ('click "Add"', "direct", "div[1]/button[2]", "exact over substring"),
    ('click "Save"', "direct", "div[2]/button[2]", "visible over hidden"),
    ('click second "Edit"', "direct", "div[4]/button[1]", "ordinal 2"),
    ('type hello into "Email"', "direct", "input[1]", "can take 'type'"),
    ('click first button next to "Sign up"', "layout", "div[3]/button[1]", "to its right"),
    ('click second button next to "Sign up"', "layout", "div[3]/button[2]", "ordinal 2"),
    ('verify "Order total" is present', "direct", "p[1]", "page text was searched"),
])
def test_explanation_names_strategy_element_and_rule(instruction, strategy, chosen, rule_words):
    e = _explain.explain(SNAPSHOT, instruction)
    assert (e["strategy"], e["resolved"]) == (strategy, True)
    assert e["element"]["xpath"].endswith(chosen)
    assert rule_words in e["rule"]
    marked = [c["element"]["xpath"] for c in e["candidates"] if c["chosen"]]
    assert marked == [e["element"]["xpath"]]


def test_losers_are_listed_with_the_preference_that_beat_them():
    exact = _explain.explain(SNAPSHOT, 'click "Add"')
    assert paths(c["element"] for c in exact["candidates"]) == ["/html[1]/body[1]/div[1]/button[2]"]
    assert [(a["element"]["text"], a["why"]) for a in exact["set_aside"]] == [
        ("Add to cart", "contains the target only, and an exact match exists")]
    hidden = _explain.explain(SNAPSHOT, 'click "Save"')
    assert [(a["element"]["text"], a["why"]) for a in hidden["set_aside"]] == [
        ("Save", "hidden, and a visible element matches")]


def test_candidates_follow_reading_order_and_the_ordinal_picks_among_them():
    e = _explain.explain(SNAPSHOT, 'click second "Edit"')
    # The lower of the two comes first in the snapshot; reading order puts it second.
    assert [c["why"] for c in e["candidates"]] == [
        "exact match, visible, at y=260, x=10", "exact match, visible, at y=300, x=10"]
    assert [c["chosen"] for c in e["candidates"]] == [False, True]


def test_layout_explanation_shows_anchor_and_query():
    e = _explain.explain(SNAPSHOT, 'click second button next to "Sign up"')
    assert e["parsed"]["ordinal"] == 2
    assert e["query"]["target"] == "second button next to Sign up"
    assert e["anchor"]["text"] == "Sign up"
    assert e["candidates"][0]["why"].startswith("reading order #")


@pytest.mark.parametrize("instruction", ['click "Checkout"', 'click first button next to "Nowhere"'])
def test_unresolved_instructions_list_the_closest_texts(instruction):
    e = _explain.explain(SNAPSHOT, instruction)
    assert e["resolved"] is False and e["element"] is None and e["candidates"] == []


def test_steps_without_an_element_have_nothing_to_resolve():
    e = _explain.explain(SNAPSHOT, "wait 500")
    assert (e["strategy"], e["resolved"]) == ("wait", False)
    assert "query" not in e


# ---- the command ---------------------------------------------------------------


def vantle(*args, cwd):
    return subprocess.run([str(VANTLE), "explain", *map(str, args)], capture_output=True, cwd=cwd, timeout=60)


@pytest.fixture
def snapshot_file(tmp_path):
    path = tmp_path / "snap.json"
    path.write_text(json.dumps(SNAPSHOT, indent=2, ensure_ascii=True))
    return path


def test_command_prints_the_explanation_and_exits_0_when_resolved(snapshot_file):
    run = vantle(snapshot_file.name, 'click second "Edit"', cwd=snapshot_file.parent)
    out = run.stdout.decode()
    assert (run.returncode, run.stderr) == (0, b"")
    assert "Strategy:    direct" in out
    assert "  path:  /html[1]/body[1]/div[4]/button[1]\n" in out
    assert "  box:   x=10 y=300 width=80 height=24\n" in out
    assert "Candidates (2), ordered by: visible over hidden, exact over substring, then reading order" in out
    assert "  * 2. <button> 'Edit'" in out


def test_command_exits_1_with_closest_texts_when_not_resolved(snapshot_file):
    run = vantle(snapshot_file, 'click "Sav draft"', cwd=snapshot_file.parent)
    assert run.returncode == 1
    assert "Result:      not resolved\nClosest:     ['Save draft'" in run.stdout.decode()


@pytest.mark.parametrize("content, message", [
    (None, "cannot read missing.json: No such file or directory"),
    ("{\"elements\": [", "missing.json: not valid JSON: "),
    ("[1, 2]", "missing.json: not a DOM snapshot: the top level is not a JSON object"),
    ("{\"url\": \"x\"}", "missing.json: not a DOM snapshot: no \"elements\" member"),
    ("{\"elements\": [1]}", "missing.json: \"elements\"[0] is not an element record"),
    ("{\"elements\": [], \"text_elements\": {}}", "missing.json: \"text_elements\" is not an array"),
])
def test_command_exits_2_on_unreadable_or_malformed_snapshots(tmp_path, content, message):
    if content is not None:
        (tmp_path / "missing.json").write_text(content)
    run = vantle("missing.json", 'click "Add"', cwd=tmp_path)
    assert (run.returncode, run.stdout) == (2, b"")
    assert run.stderr.decode().startswith("vantle explain: " + message)


@pytest.mark.parametrize("args, message", [
    (["snap.json"], "expected a snapshot file and an instruction"),
    (["snap.json", "click x", "more"], "too many arguments"),
    (["snap.json", "jump over"], "Unrecognised instruction: "),
    (["snap.json", "type into Email"], "Malformed instruction: 'type into Email'. Expected: type <text> into"),
])
def test_command_exits_2_on_bad_arguments(snapshot_file, args, message):
    run = vantle(*args, cwd=snapshot_file.parent)
    assert run.returncode == 2
    assert run.stderr.decode().startswith("vantle explain: " + message)


# ---- agreement with the live agent ---------------------------------------------------


@pytest.mark.browser
def test_explain_on_a_real_scan_picks_what_the_live_agent_picked(server, tmp_path, monkeypatch):
    from vantle import WebAgent

    monkeypatch.setenv("VANTLE_SAVE_SNAPSHOTS", "1")
    monkeypatch.setenv("VANTLE_LOG_PATH", str(tmp_path))
    instructions = [
        'click "Add"', 'click "Save"', 'click second "Edit"', "click first button next to Sign up",
        'click second button next to "Sign up"', "type hello into the Email field",
    ]
    with WebAgent(url=f"{server}/explain/choices.html") as agent:
        for instruction in instructions:
            for old in tmp_path.glob("*.json"):
                old.unlink()
            agent.page.evaluate("delete document.body.dataset.clicked")
            agent.run(instruction)
            acted_on = agent.page.evaluate("document.body.dataset.clicked || document.activeElement.id")
            (snapshot,) = tmp_path.glob("*.json")
            explained = _explain.explain(snapshot, instruction)
            assert explained["element"]["attributes"]["id"] == acted_on, instruction


@pytest.mark.browser
def test_a_failed_step_leaves_its_scan_next_to_the_report_for_explain(server, tmp_path, monkeypatch):
    from vantle import StepFailed, WebAgent

    monkeypatch.delenv("VANTLE_SAVE_SNAPSHOTS", raising=False)
    monkeypatch.setenv("VANTLE_REPORT_DIR", str(tmp_path))
    with WebAgent(url=f"{server}/explain/choices.html", timeout_ms=300) as agent:
        agent.run('click "Add"')
        assert not (tmp_path / "snapshots").exists()
        with pytest.raises(StepFailed) as failure:
            agent.run('click "Checkout"')
    (snapshot,) = (tmp_path / "snapshots").glob("*.json")
    assert str(failure.value).endswith(f" Page snapshot: {snapshot}")
    assert agent._steps[-1]["message"] == str(failure.value)
    assert json.loads(snapshot.read_text())["url"].endswith("/explain/choices.html")
    missed = vantle(snapshot, 'click "Checkout"', cwd=tmp_path)
    found = vantle(snapshot, 'click "Add"', cwd=tmp_path)
    assert (missed.returncode, found.returncode) == (1, 0)
    assert "  path:  /html[1]/body[1]/div[1]/button[2]\n" in found.stdout.decode()

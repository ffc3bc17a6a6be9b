"""The browser-free parts of scanning on plain records: spatial labels, text
de-duplication, the custom-input rule, snapshot files and engine settings."""

import json
import os
import random
import re
import time

import pytest

import vantle.settings as settings
from vantle.engine.browser import page_scanner
from vantle.engine.browser.page_scanner import PageScanner, _is_custom_input


def box(x, y, w, h):
    return {"x": x, "y": y, "width": w, "height": h}


def element(x, y, w=100, h=20, **attributes):
    return {"tag": "button", "text": "", "attributes": dict(attributes), "bounding_box": box(x, y, w, h)}


def text(t, x, y, w, h, direct=False):
    return {"tag": "div", "text": t, "has_direct_text": direct, "attributes": {}, "bounding_box": box(x, y, w, h)}


# ---- constants -----------------------------------------------------------------

def test_selectors():
    assert page_scanner.INTERACTABLE_SELECTOR.split(", ")[:7] == [
        "button", "input", "a", "select", "textarea", '[role="button"]', '[role="link"]']
    assert page_scanner.INTERACTABLE_SELECTOR.split(", ")[-3:] == ["img[alt]", "img[data-testid]", "[data-testid]"]
    assert len(page_scanner.INTERACTABLE_SELECTOR.split(", ")) == 22 and "summary" in page_scanner.INTERACTABLE_SELECTOR
    assert page_scanner.TEXT_SELECTOR == ", ".join(page_scanner._TEXT_TAGS)
    assert len(page_scanner.CAPTURED_ATTRIBUTES) == 13 and page_scanner.CAPTURED_ATTRIBUTES[-1] == "alt"


@pytest.mark.parametrize(
    "tag, classes, expected",
    [
        ("div", "rich-editable", True),
        ("span", "Fake-INPUT", True),
        ("div", "inputs-row", True),
        ("input", "editable", False),
        ("textarea", "input", False),
        ("div", "", False),
        ("div", None, False),
        ("div", "card", False),
    ],
)
def test_is_custom_input(tag, classes, expected):
    assert _is_custom_input(tag, classes) is expected


# ---- spatial labels ----------------------------------------------------------------

CANDIDATES = [
    {"text": "Login", "bounding_box": box(0, 80, 300, 20)},  # bottom 100
    {"text": "Account", "bounding_box": box(0, 160, 300, 20)},  # bottom 180
    {"text": "Side", "bounding_box": box(500, 50, 100, 20)},  # right edge 600
]


@pytest.mark.parametrize(
    "record, label",
    [
        (element(10, 200), "Account"),
        (element(10, 150), "Login"),
        (element(10, 90), None),
        (element(10, 180), "Account"),  # touching counts, distance 0
        (element(601, 300), None),  # candidate ends left of the element
        (element(600, 300), "Side"),  # right edge touching the left edge
        (element(10, 300, _label="Own"), "Own"),  # already labelled
        (element(10, 300, _label=""), "Account"),  # an empty label is no label
    ],
)
def test_assign_spatial_labels(record, label):
    attributes = record["attributes"]
    PageScanner(None)._assign_spatial_labels([record], CANDIDATES)
    assert record["attributes"] is attributes
    assert attributes.get("_label") == label


def test_spatial_label_ties_keep_the_earlier_candidate():
    records = [element(0, 100), {"tag": "a", "attributes": {}}]  # the second has no box
    same = [{"text": "First", "bounding_box": box(0, 0, 50, 50)},
            {"text": "Second", "bounding_box": box(0, 10, 50, 40)}]
    PageScanner(None)._assign_spatial_labels(records, same)
    assert records[0]["attributes"]["_label"] == "First"
    assert records[1]["attributes"] == {}


def reference_labels(elements, candidates):
    """The straightforward algorithm: every element against every candidate."""
    for el in elements:
        if el.get("attributes", {}).get("_label"):
            continue
        b = el["bounding_box"]
        best, best_dist = "", float("inf")
        for c in candidates:
            cb = c["bounding_box"]
            bottom = cb["y"] + cb["height"]
            if bottom > b["y"]:
                continue
            if not (cb["x"] <= b["x"] + b["width"] and cb["x"] + cb["width"] >= b["x"]):
                continue
            if b["y"] - bottom < best_dist:
                best, best_dist = c["text"], b["y"] - bottom
        if best:
            el["attributes"]["_label"] = best


def random_box(rng, grid):
    if grid:  # coarse coordinates make ties and touching edges common
        return box(rng.randrange(0, 20) * 10, rng.randrange(0, 50) * 10, rng.randrange(1, 8) * 10, rng.randrange(1, 5) * 10)
    return box(rng.uniform(0, 1280), rng.uniform(0, 5000), rng.uniform(0.5, 400), rng.uniform(0.1, 60))


@pytest.mark.parametrize("seed", range(6))
def test_spatial_labels_match_the_straightforward_algorithm(seed):
    rng = random.Random(seed)
    grid = seed % 2 == 0
    candidates = [{"text": f"c{i}", "bounding_box": random_box(rng, grid)} for i in range(300)]
    elements = [element(**{k: v for k, v in zip("xywh", random_box(rng, grid).values())}) for _ in range(400)]
    expected = json.loads(json.dumps(elements))
    reference_labels(expected, candidates)
    PageScanner(None)._assign_spatial_labels(elements, candidates)
    assert elements == expected


# ---- text de-duplication -----------------------------------------------------------

def test_dedup_returns_the_given_records():
    li = text("Home", 0, 0, 200, 20)
    a = text("Home", 20, 0, 50, 18, direct=True)
    kept = PageScanner._dedup_text_elements([li, a])
    assert len(kept) == 1 and kept[0] is a


@pytest.mark.parametrize(
    "candidates, kept",
    [
        # a wrapper of two paragraphs goes, the paragraphs stay
        ([text("Hello\n\nWorld", 0, 0, 500, 60), text("Hello", 0, 0, 500, 20, True), text("World", 0, 40, 500, 20, True)], [1, 2]),
        # direct text is never removed
        ([text("Total 42", 0, 0, 500, 20, True), text("42", 40, 0, 20, 20, True)], [0, 1]),
        # the smaller overlapping text is not part of the wrapper's text
        ([text("Alpha", 0, 0, 200, 30), text("Zeta", 20, 5, 40, 10, True)], [0, 1]),
        # equal boxes and texts: neither is strictly smaller
        ([text("Twin", 0, 0, 100, 20), text("Twin", 0, 0, 100, 20)], [0, 1]),
        # sharing an edge is no overlap
        ([text("Edge words", 0, 0, 200, 40), text("Edge", 0, 40, 50, 20, True)], [0, 1]),
        # a wrapper goes even when what dominates it goes too
        ([text("Deep", 0, 0, 300, 50), text("Deep", 0, 0, 200, 40), text("Deep", 0, 0, 100, 20, True)], [2]),
        ([], []),
    ],
)
def test_dedup_text_elements(candidates, kept):
    assert PageScanner._dedup_text_elements(candidates) == [candidates[i] for i in kept]


def reference_dedup(candidates):
    def area(e):
        return e["bounding_box"]["width"] * e["bounding_box"]["height"]

    def overlaps(a, b):
        return (a["x"] < b["x"] + b["width"] and a["x"] + a["width"] > b["x"]
                and a["y"] < b["y"] + b["height"] and a["y"] + a["height"] > b["y"])

    keep = []
    for el in candidates:
        if el["has_direct_text"] or not any(
            o is not el and area(o) < area(el) and overlaps(el["bounding_box"], o["bounding_box"]) and o["text"] in el["text"]
            for o in candidates
        ):
            keep.append(el)
    return keep


@pytest.mark.parametrize("seed", range(6))
def test_dedup_matches_the_straightforward_algorithm(seed):
    rng = random.Random(100 + seed)
    words = ["a", "b", "ab", "ba", "é", "aé", "x"]
    candidates = [
        text(rng.choice(words) + rng.choice(words), *random_box(rng, seed % 2 == 0).values(), direct=rng.random() < 0.3)
        for _ in range(500)
    ]
    for c in candidates[::25]:  # above the page, and taller than any band index
        c["bounding_box"].update(y=-rng.uniform(0, 3000), height=rng.choice([2e6, 7000.5, 0]))
    kept = PageScanner._dedup_text_elements(candidates)
    assert [id(k) for k in kept] == [id(k) for k in reference_dedup(candidates)]


# ---- snapshots and settings ----------------------------------------------------------

class Address:
    """A page as far as snapshots care: just its address."""

    def __init__(self, url):
        self.url = url


@pytest.fixture
def snapshots(tmp_path):
    settings.SAVE_SNAPSHOTS = True
    settings.LOG_PATH = str(tmp_path / "logs" / "deep")
    yield tmp_path / "logs" / "deep"
    del settings.SAVE_SNAPSHOTS
    del settings.LOG_PATH


def test_no_snapshot_when_switched_off(tmp_path, capsys):
    settings.SAVE_SNAPSHOTS = False
    settings.LOG_PATH = str(tmp_path / "logs")
    try:
        PageScanner(Address("http://x/"))._save_snapshot([], [])
    finally:
        del settings.SAVE_SNAPSHOTS, settings.LOG_PATH
    assert not (tmp_path / "logs").exists()
    assert capsys.readouterr().out == ""


def test_snapshot_file(snapshots, capsys):
    elements = [{"tag": "input", "text": "", "attributes": {"_label": "Prénom"},
                 "bounding_box": box(1.5, 2, 3.25, 4), "is_visible": True, "is_enabled": False,
                 "is_editable_field": True, "xpath": "/html[1]"}]
    texts = [{"tag": "p", "text": "ok", "has_direct_text": True, "attributes": {}, "bounding_box": box(0, 0, 1, 1),
              "is_visible": True, "is_enabled": True, "xpath": "/html[1]/body[1]/p[1]"}]
    before = time.strftime("%Y%m%d_%H%M%S")
    PageScanner(Address("a://b/c/d?id=7"))._save_snapshot(elements, texts)
    after = time.strftime("%Y%m%d_%H%M%S")
    [path] = snapshots.iterdir()
    stamp, rest = path.name[:15], path.name[15:]
    assert before <= stamp <= after and re.fullmatch(r"\d{8}_\d{6}", stamp)
    assert rest == "_a_b_c_d?id=7.json"
    content = path.read_text(encoding="ascii")
    expected = {"url": "a://b/c/d?id=7", "elements": elements, "text_elements": texts}
    assert content == json.dumps(expected, indent=2, ensure_ascii=True)
    assert "Pr\\u00e9nom" in content and not content.endswith("\n")
    assert capsys.readouterr().out == f"  [DOM snapshot saved → {os.path.join(settings.LOG_PATH, path.name)}]\n"


def test_snapshot_of_empty_scan(snapshots):
    PageScanner(Address("http://h/"))._save_snapshot([], [])
    [path] = snapshots.iterdir()
    assert path.read_text() == '{\n  "url": "http://h/",\n  "elements": [],\n  "text_elements": []\n}'


def test_snapshot_name_is_cut_after_replacing(snapshots):
    url = "https://example.test/" + "/".join(["segment"] * 12)
    PageScanner(Address(url))._save_snapshot([], [])
    [path] = snapshots.iterdir()
    slug = path.name[16:-len(".json")]
    assert slug == url.replace("://", "_").replace("/", "_")[:60] and len(slug) == 60


def test_snapshots_in_the_same_second_are_all_kept(snapshots):
    for n in range(4):
        PageScanner(Address("http://h/p"))._save_snapshot([{"n": n}], [])
    files = sorted(snapshots.iterdir(), key=lambda p: p.stat().st_mtime_ns)
    assert len(files) == 4
    assert [json.loads(p.read_text())["elements"] for p in files] == [[{"n": n}] for n in range(4)]
    stems = {}
    for p in files:
        stamp = p.name[:15]
        stems.setdefault(stamp, []).append(p.name)
    for stamp, names in stems.items():
        suffixes = ["" if n == 0 else f"_{n + 1}" for n in range(len(names))]
        assert names == [f"{stamp}_http_h_p{s}.json" for s in suffixes]


def test_settings_precedence(monkeypatch):
    monkeypatch.delenv("VANTLE_SAVE_SNAPSHOTS", raising=False)
    monkeypatch.delenv("VANTLE_LOG_PATH", raising=False)
    assert settings.SAVE_SNAPSHOTS is False and settings.LOG_PATH == "data/logs/"
    monkeypatch.setenv("VANTLE_SAVE_SNAPSHOTS", "Yes")
    monkeypatch.setenv("VANTLE_LOG_PATH", "/tmp/elsewhere")
    assert settings.SAVE_SNAPSHOTS is True and settings.LOG_PATH == "/tmp/elsewhere"
    settings.SAVE_SNAPSHOTS = False
    try:
        assert settings.SAVE_SNAPSHOTS is False
    finally:
        del settings.SAVE_SNAPSHOTS
    assert settings.SAVE_SNAPSHOTS is True
    monkeypatch.setenv("VANTLE_SAVE_SNAPSHOTS", "0")
    assert settings.SAVE_SNAPSHOTS is False
    monkeypatch.setenv("VANTLE_SAVE_SNAPSHOTS", "maybe")
    with pytest.raises(ValueError, match="VANTLE_SAVE_SNAPSHOTS"):
        settings.SAVE_SNAPSHOTS


def test_snapshot_setting_is_read_at_every_save(tmp_path, monkeypatch):
    monkeypatch.setenv("VANTLE_LOG_PATH", str(tmp_path))
    scanner = PageScanner(Address("http://h/"))
    monkeypatch.setenv("VANTLE_SAVE_SNAPSHOTS", "off")
    scanner._save_snapshot([], [])
    assert list(tmp_path.iterdir()) == []
    monkeypatch.setenv("VANTLE_SAVE_SNAPSHOTS", "on")
    scanner._save_snapshot([], [])
    assert len(list(tmp_path.iterdir())) == 1

"""The spatial resolver: taking targets apart, choosing anchors, ranking by
relation and ordinal, and the records it returns."""

import pytest

from vantle.engine.spatial.layout_builder import LayoutBuilder
from vantle.engine.spatial.layout_resolver import (
    LayoutResolver,
    _centre_distance,
    _dom_distance,
    _normalize,
    _overlaps_horizontally,
    _overlaps_vertically,
    _parse_target,
)

FAILURE = {"resolved": False, "confidence": 0.0, "element": None, "candidates": []}
ANCHORED_KEYS = ["resolved", "confidence", "element", "anchor_text", "ordinal", "type_relaxed", "actual_type", "candidates"]


def el(tag="button", text="", x=0, y=0, w=40, h=20, xpath="", **attrs):
    return {
        "tag": tag, "text": text, "attributes": attrs,
        "bounding_box": {"x": x, "y": y, "width": w, "height": h},
        "is_visible": True, "is_enabled": True, "xpath": xpath,
    }


def txt(text, x=0, y=0, w=60, h=20, xpath=""):
    return {
        "tag": "span", "text": text, "has_direct_text": True, "attributes": {},
        "bounding_box": {"x": x, "y": y, "width": w, "height": h},
        "is_visible": True, "is_enabled": True, "xpath": xpath,
    }


def resolve(target, dom, texts=None):
    return LayoutResolver(LayoutBuilder(dom, texts).build()).resolve({"action": "click", "target": target})


def pos(x, y, w, h):
    return {"position": {"x": x, "y": y, "w": w, "h": h, "cx": x + w / 2, "cy": y + h / 2, "x2": x + w, "y2": y + h}}


class TestParseTarget:
    @pytest.mark.parametrize("target, expected", [
        ("first button next to Sign up", ("sign up", "next_to", "button", 1, None, None)),
        ("Edit link below the Username", ("username", "below", "link", None, None, "edit")),
        ("the Edit link below Username", ("username", "below", "link", None, None, "the edit")),
        ("second Add to cart button", (None, None, "button", 2, "add to cart", None)),
        ("3rd input", (None, None, "input", 3, None, None)),
        ("first button below", ("", "below", "button", 1, None, None)),
        ("Submit", (None, None, None, None, None, None)),
        ("", (None, None, None, None, None, None)),
        ("x right of y next to z", ("y next to z", "right", None, None, None, "x")),
        ("underline", ("line", "below", None, None, None, None)),
        ("linear", ("", "near", None, None, None, "li")),
        ("nearest link", ("est link", "near", "link", None, None, None)),
        ("firstly button", (None, None, "button", None, None, None)),
        ("SECOND BTN Next To Ok", ("ok", "next_to", "button", 2, None, None)),
        ("second first button", (None, None, "button", 1, "second", None)),
        ("select the first button", (None, None, "button", 1, "select", None)),
        ("button near the a xyz", ("xyz", "near", "button", None, None, None)),
        ("button near a the xyz", ("the xyz", "near", "button", None, None, None)),
        ("2nd field  above\tTotal\u00a0 ", ("total", "above", "input", 2, None, None)),
        ("radio button left of accept", ("accept", "left", "radio", None, None, "button")),
        ("first checkbox button below Terms", ("terms", "below", "checkbox", 1, None, "button")),
        ("button right of radio", ("radio", "right", "button", None, None, None)),
    ])
    def test_worked_targets(self, target, expected):
        assert _parse_target(target) == expected

    def test_ordinal_without_anchor_drops_relation_words_from_search_text(self):
        assert _parse_target("second Save button next to") == ("", "next_to", "button", 2, "save", "save")

    def test_unicode_lowercasing_keeps_positions(self):
        assert _parse_target("ΣΑΒΕ İtem next to ÉTÉ")[0] == "été"

    @pytest.mark.parametrize("bad", [None, 5, b"button"])
    def test_target_must_be_text(self, bad):
        with pytest.raises(TypeError):
            _parse_target(bad)


class TestGeometry:
    @pytest.mark.parametrize("gap, same_row", [(0, True), (35, True), (39.9, True), (40, False), (60, False)])
    def test_row_overlap_has_forty_pixels_of_slack(self, gap, same_row):
        a, b = pos(0, 0, 50, 20), pos(100, 20 + gap, 50, 20)
        assert _overlaps_vertically(a, b) is same_row
        assert _overlaps_vertically(b, a) is same_row

    @pytest.mark.parametrize("gap, same_column", [(-39, True), (39, True), (40, False), (-40, False)])
    def test_column_overlap_has_forty_pixels_of_slack(self, gap, same_column):
        a = pos(100, 0, 50, 20)
        b = pos(150 + gap, 100, 50, 20) if gap > 0 else pos(100 - 50 + gap, 100, 50, 20)
        assert _overlaps_horizontally(b, a) is same_column

    def test_centre_distance(self):
        assert _centre_distance(pos(0, 0, 10, 10), pos(30, 40, 10, 10)) == pytest.approx(50.0)

    @pytest.mark.parametrize("a, b, steps", [
        ("/html/body/div[1]/span", "/html/body/div[2]/span", 2),
        ("/html[1]/body[1]", "/html[1]/body[1]/div[3]/a[1]", 2),
        ("", "", 0),
        ("", "/html[1]", 2),
        ("/a/b/c", "/x/b/c", 2),
        ("a/b/", "/a/b", 0),
    ])
    def test_dom_distance_counts_every_equal_position(self, a, b, steps):
        assert _dom_distance(a, b) == steps
        assert isinstance(_dom_distance(a, b), int)

    def test_missing_position_key_is_named(self):
        a = pos(0, 0, 10, 10)
        del a["position"]["y2"]
        with pytest.raises(KeyError, match="y2"):
            _overlaps_vertically(a, pos(0, 0, 10, 10))
        with pytest.raises(KeyError, match="position"):
            _centre_distance({}, a)

    def test_normalize(self):
        assert _normalize("Add-to Cart") == "addtocart"
        # A no-break space is a space and a dash a hyphen, as a person types them;
        # a tab is neither.
        assert _normalize("A\tB\u00a0C") == "a\tbc"
        assert _normalize("Mon\u2013Fri I\u2019m") == _normalize("Mon-Fri I'm") == "monfrii'm"


class TestFindAnchor:
    def anchor(self, dom, texts=None, phrase="total"):
        matrix = LayoutBuilder(dom, texts).build()
        found = LayoutResolver(matrix)._find_anchor(phrase)
        return None if found is None else found["element"]

    def test_interactable_namesake_beats_text(self):
        b = el(text="Total", y=50)
        assert self.anchor([b], [txt("Total")]) is b

    def test_smaller_then_earlier(self):
        big, small, same = el(text="Total", w=100), el(text="Total", y=40, w=50), el(text="Total", y=80, w=50)
        assert self.anchor([big, small, same]) is small

    def test_attribute_only_when_no_text_matches(self):
        field = el("input", placeholder="Total")
        assert self.anchor([field]) is field
        span = txt("TOTAL", y=90)
        assert self.anchor([field], [span]) is span

    @pytest.mark.parametrize("text, hit", [("Total (3)", True), ("total(3)", True), ("Totals", False), ("Total due", True)])
    def test_text_prefix_needs_a_space_or_bracket(self, text, hit):
        t = txt(text)
        assert (self.anchor([], [t]) is t) is hit

    def test_text_prefix_tier_takes_the_smallest_of_all_its_entries(self):
        big, small = txt("Total  (3)", w=300, h=30), txt("total(3)", y=100, w=20, h=20)
        go = el(text="Go", x=40, y=100)
        assert self.anchor([go], [big, small]) is small
        assert resolve("button right of Total", [go], [big, small])["element"] is go

    def test_text_prefix_tier_prefers_an_interactable_entry(self):
        text, button = txt("Total due", w=20, h=10), el(text="Total (2)", y=100, w=200, h=40)
        assert self.anchor([button], [text]) is button

    def test_text_prefix_tier_ties_go_to_the_earliest(self):
        first, second = txt("Total a", w=30), txt("Total b", y=50, w=30)
        assert self.anchor([], [second, first]) is first

    def test_attribute_prefix_tier_takes_the_smallest_of_all_its_entries(self):
        big = el("input", w=300, h=30, placeholder="Total amount")
        small = el("input", y=50, w=30, h=20, **{"aria-label": "Total due"})
        text = txt("Other", y=90)
        assert self.anchor([big, small], [text]) is small

    def test_attribute_prefix_needs_a_space(self):
        a, b = el("input", _label="Total(x)"), el("input", y=40, **{"aria-label": "Total amount"})
        assert self.anchor([a, b]) is b

    def test_exact_beats_prefix(self):
        prefix, exact = el(text="Sign up now", w=10), el(text="Sign", y=30, w=90)
        assert self.anchor([prefix, exact], phrase="sign") is exact

    @pytest.mark.parametrize("text, phrase", [("Country:", "country"), ("Country :", "country"), ("Country", "country:"),
                                              ("Country: Canada", "country"), ("Country:\nFrance\nCanada", "country")])
    def test_a_trailing_colon_never_stops_an_anchor(self, text, phrase):
        t = txt(text)
        assert self.anchor([], [t], phrase=phrase) is t

    def test_a_colon_is_not_every_name(self):
        assert self.anchor([el(text="")], [txt(":")], phrase=":")["text"] == ":"
        assert self.anchor([el(text="Country")], phrase="countryside:") is None

    def test_a_field_labelled_with_a_colon_anchors_its_neighbour(self):
        label, field = txt("Country:", w=70), el("input", x=80, _label="Country:")
        assert resolve("input right of Country", [field], [label])["element"] is field

    def test_relations_measure_from_the_words_of_a_wide_block(self):
        heading = txt("Order summary", x=0, y=0, w=900, h=30)
        heading["attributes"]["_text_box"] = "8,4,120,22"
        under_words, far_right = el(text="Details", x=10, y=60), el(text="Edit", x=800, y=40)
        assert resolve("button below Order summary", [under_words, far_right], [heading])["element"] is under_words
        line = txt("Group by: daily weekly", x=0, y=100, w=900, h=20)
        line["attributes"]["_text_box"] = "0,100,70,20"
        weekly = el("a", text="weekly", x=130, y=100)
        assert resolve("weekly right of Group by:", [weekly], [line])["element"] is weekly

    def test_signature_is_no_prefix_of_sign(self):
        assert self.anchor([el(text="Signature")], phrase="sign") is None

    def test_empty_matrix(self):
        assert LayoutResolver([])._find_anchor("x") is None

    def test_entries_without_position_count_as_large(self):
        small = {"index": 1, "text": "Total", **pos(0, 0, 100, 100)}
        matrix = [{"index": 0, "text": "Total"}, small]
        assert LayoutResolver(matrix)._find_anchor("total") is small


class TestKindsOfInput:
    """An action box: radio buttons named by the labels to their right, and a
    button on the same row further left."""

    def row(self):
        delete = el("button", text="Delete", x=0, y=100, w=60)
        leave = el("input", text="leave", x=100, y=60, w=13, h=13, type="radio", _label="leave")
        accept = el("input", text="accept", x=100, y=100, w=13, h=13, type="radio", _label="accept")
        words = [txt("leave", x=120, y=58, w=40), txt("accept", x=120, y=98, w=47)]
        return [delete, leave, accept], words

    @pytest.mark.parametrize("target", ["radio button left of accept", "radio left of accept"])
    def test_the_radio_beside_its_label_not_the_button_before_it(self, target):
        dom, words = self.row()
        assert resolve(target, dom, words)["element"] is dom[2]

    def test_a_checkbox_is_not_a_radio(self):
        box = el("input", text="", x=0, y=100, w=13, h=13, type="checkbox")
        radio = el("input", text="", x=40, y=100, w=13, h=13, type="radio")
        label = txt("component2", x=80, y=98)
        assert resolve("checkbox left of component2", [box, radio], [label])["element"] is box
        assert resolve("radio left of component2", [box, radio], [label])["element"] is radio


class TestRelations:
    def row(self):
        anchor = txt("Sign up", x=0, y=100)
        return anchor, el(text="A", x=100, y=100), el(text="B", x=200, y=100), el(text="C", x=300, y=100)

    def test_next_to_returns_only_the_first_in_reading_order(self):
        anchor, a, b, c = self.row()
        r = resolve("button next to sign up", [c, b, a], [anchor])
        assert r["element"] is a and r["candidates"] == [a]
        assert list(r) == ANCHORED_KEYS

    @pytest.mark.parametrize("word, index", [("second", 1), ("third", 2)])
    def test_next_to_with_ordinal(self, word, index):
        anchor, *buttons = self.row()
        r = resolve(f"{word} button next to sign up", buttons, [anchor])
        assert r["element"] is buttons[index] and r["candidates"] == [buttons[index]]
        assert r["ordinal"] == index + 1

    def test_next_to_ordinal_beyond_the_row_fails(self):
        anchor, a, _, _ = self.row()
        assert resolve("second button next to sign up", [a], [anchor]) == FAILURE

    @pytest.mark.parametrize("gap, found", [(35, True), (39, True), (40, False), (45, False)])
    def test_row_tolerance_below_the_anchor(self, gap, found):
        anchor = txt("Name", x=0, y=100, h=20)
        b = el(text="Go", x=100, y=120 + gap)
        r = resolve("button next to name", [b], [anchor])
        assert r["resolved"] is found

    def test_below_nearest_first_and_column_bounds(self):
        anchor = el("input", x=100, y=0, w=100, h=20, placeholder="Email")
        far, near = el("a", "far", x=100, y=200), el("a", "near", x=120, y=60)
        right_out, left_out = el("a", "r", x=240, y=100), el("a", "l", x=20, y=100)
        r = resolve("link below email", [anchor, far, near, right_out, left_out])
        assert r["element"] is near
        assert r["candidates"] == [near, far]

    @pytest.mark.parametrize("x, found", [(239, True), (240, False), (21, True), (20, False)])
    def test_column_slack_is_forty_pixels(self, x, found):
        anchor = el("input", x=100, y=0, w=100, h=20, placeholder="Email")
        link = el("a", "x", x=x, y=100, w=40)
        assert resolve("link below email", [anchor, link])["resolved"] is found

    def test_above_and_left_are_nearest_first(self):
        anchor = txt("Total", x=300, y=300)
        up_far, up_near = el(text="u1", x=300, y=100), el(text="u2", x=300, y=200)
        left_far, left_near = el(text="l1", x=0, y=300), el(text="l2", x=200, y=300)
        dom = [up_far, up_near, left_far, left_near]
        assert resolve("button above total", dom, [anchor])["candidates"] == [up_near, up_far]
        assert resolve("button left of total", dom, [anchor])["candidates"] == [left_near, left_far]

    def test_right_is_nearest_first_and_edges_are_inclusive(self):
        anchor = txt("Qty", x=0, y=0, w=100)
        touching, further = el(text="t", x=100, y=0), el(text="f", x=150, y=0)
        assert resolve("right of qty", [further, touching], [anchor])["candidates"] == [touching, further]

    def test_near_by_distance_or_dom_steps(self):
        anchor = el("input", x=0, y=0, w=20, h=20, xpath="/html[1]/body[1]/form[1]/input[1]", _label="Name")
        close = el("input", x=280, y=0, w=20, h=20, xpath="/x/y")
        far_related = el("input", x=320, y=0, w=20, h=20, xpath="/html[1]/body[1]/form[1]/input[2]")
        far_unrelated = el("input", x=320, y=10, w=20, h=20,
                           xpath="/html[1]/body[1]/div[1]/div[1]/div[1]/div[1]/div[1]/div[1]/div[1]/div[1]/input[1]")
        r = resolve("input near name", [far_unrelated, far_related, close, anchor])
        assert r["candidates"] == [close, far_related]

    def test_elements_without_paths_are_always_near(self):
        anchor = txt("Name", x=0, y=0)
        far = el("input", x=5000, y=5000)
        assert resolve("input near name", [far], [anchor])["element"] is far

    def test_type_relaxation_when_the_typed_pool_ranks_to_nothing(self):
        anchor = el("input", x=0, y=0, w=100, placeholder="Email")
        link = el("a", "Forgot", x=0, y=50)
        elsewhere = el("button", "Other", x=900, y=0)
        r = resolve("button below email", [anchor, link, elsewhere])
        assert r["element"] is link
        assert (r["type_relaxed"], r["actual_type"]) == (True, "link")

    @pytest.mark.parametrize("relation, wanted", [("dropdown right of", "op"), ("button right of", "go")])
    def test_a_namesake_with_the_asked_type_beside_it_is_the_anchor(self, relation, wanted):
        # A small "category" link has only a link beside it; the field showing
        # "category" has the drop-down and the button the step asks for.
        facet, added = el("a", "category", x=200, y=300, w=44, h=17), el("a", "added", x=260, y=300, w=44, h=17)
        column = el("select", "category", x=17, y=156, w=118, h=33)
        op, go = el("select", "contains", x=140, y=156, w=100, h=33), el("button", "Apply", x=250, y=156)
        r = resolve(f"{relation} category", [facet, added, column, op, go])
        assert r["element"] is {"op": op, "go": go}[wanted]
        assert r["type_relaxed"] is False and r["anchor_text"] == "category"

    def test_relaxation_keeps_the_first_anchor_when_no_namesake_has_the_type(self):
        facet, added = el("a", "category", x=200, y=300, w=44, h=17), el("a", "added", x=260, y=300, w=44, h=17)
        column = el("select", "category", x=17, y=156, w=118, h=33)
        far = el("button", "Far", x=0, y=900)
        r = resolve("button right of category", [facet, added, column, far])
        assert r["element"] is added and r["type_relaxed"] is True

    def test_no_relaxation_when_the_typed_pool_is_empty(self):
        anchor = txt("Country", x=0, y=0)
        combo = el("div", "Pick", x=100, y=0, role="combobox")
        assert resolve("dropdown next to country", [combo], [anchor]) == FAILURE

    def test_anchor_is_never_its_own_candidate(self):
        anchor = el(text="Save", x=0, y=0)
        assert resolve("button near save", [anchor]) == FAILURE

    def test_anchor_without_partner_fails(self):
        assert resolve("button next to sign up", [el(text="x", x=0, y=0)], [txt("Sign up", x=500, y=0)]) == FAILURE

    def test_unknown_anchor_fails(self):
        assert resolve("button next to nowhere", [el(text="x")]) == FAILURE

    def test_text_entries_are_never_results(self):
        anchor = txt("Label", x=0, y=0)
        assert resolve("next to label", [], [anchor, txt("Value", x=100, y=0)]) == FAILURE

    def test_target_text_narrows_the_pool_and_falls_back(self):
        anchor = txt("Row 1", x=0, y=0)
        edit, delete = el(text="Edit", x=100, y=0), el(text="Delete", x=200, y=0)
        assert resolve("delete button next to row 1", [edit, delete], [anchor])["element"] is delete
        assert resolve("the delete button next to row 1", [edit, delete], [anchor])["element"] is edit

    def test_anchored_result_reports_full_anchor_text_and_default_ordinal(self):
        anchor = el("input", "", x=0, y=0, _label="Email", placeholder="you@example.com")
        field = el("input", x=0, y=50)
        r = resolve("input below email", [anchor, field])
        assert r["anchor_text"] == "Email you@example.com"
        assert r["ordinal"] == 1 and r["type_relaxed"] is False and r["actual_type"] == "input"
        assert type(r["confidence"]) is float

    def test_untyped_result_reports_no_type(self):
        anchor, a, _, _ = self.row()
        assert resolve("next to sign up", [a], [anchor])["actual_type"] is None


class TestCloseRows:
    """Rows less than the tolerance apart: each row's neighbours also pass the
    slack-widened overlap test, yet the anchor's own row is meant."""

    def table(self, spacing=45):
        names = ["Ada Byron", "Bob Stone", "Erin Li", "Finn Ode"]
        texts, buttons = [], []
        for i, name in enumerate(names):
            y = 100 + i * spacing
            texts.append(txt(name, x=10, y=y, w=120, h=30))
            buttons.append(el(text="Edit", x=300, y=y, w=60, h=30))
        return texts, buttons

    def test_next_to_picks_the_anchor_row_not_the_row_above(self):
        texts, buttons = self.table()
        r = resolve('button next to Erin Li', buttons, texts)
        assert r["element"] is buttons[2]

    @pytest.mark.parametrize("relation", ["right of", "next to"])
    def test_right_of_keeps_only_the_anchor_row(self, relation):
        texts, buttons = self.table(spacing=35)
        r = resolve(f"button {relation} bob stone", buttons, texts)
        assert r["candidates"] == [buttons[1]]

    def test_left_of_keeps_only_the_anchor_row(self):
        _, buttons = self.table()
        names = [el("span", n, x=10, y=b["bounding_box"]["y"], w=120, h=30) for n, b in zip("ABCD", buttons)]
        got = resolve("left of edit", names + [buttons[2]])
        assert got["candidates"] == [names[2]]

    def test_columns_close_together_below(self):
        anchor = el("input", x=100, y=0, w=100, h=20, placeholder="Qty")
        shifted, straight = el("a", "s", x=210, y=30), el("a", "t", x=150, y=60)
        r = resolve("link below qty", [anchor, shifted, straight])
        assert r["candidates"] == [straight]

    def test_candidate_within_slack_still_chosen_when_nothing_overlaps_outright(self):
        anchor = txt("Name", x=0, y=100, h=20)
        b = el(text="Go", x=100, y=150)
        assert resolve("button next to name", [b], [anchor])["element"] is b


class TestOrdinalOnly:
    def test_second_of_three_exact_matches(self):
        buttons = [el(text="Add to cart", y=i * 50) for i in range(3)]
        r = resolve("second Add to cart button", buttons)
        assert r["element"] is buttons[1]
        assert r["candidates"] == buttons
        assert list(r) == ["resolved", "confidence", "element", "candidates"]

    def test_substring_matches_when_exact_ones_are_too_few(self):
        one = el(text="add to cart", y=0)
        other = el(text="Other", y=25)
        two = el(text="Add-To-Cart now", y=50)
        r = resolve("second add to cart button", [one, other, two])
        assert r["element"] is two and r["candidates"] == [one, two]

    def test_unmatched_search_text_falls_back_to_all_of_the_type(self):
        a, b = el(text="Yes", y=0), el(text="No", y=50)
        assert resolve("second checkout button", [a, b])["element"] is b

    def test_first_button_below_with_no_anchor(self):
        link, b1, b2 = el("a", "L", y=0), el(text="B1", y=10), el(text="B2", y=20)
        assert resolve("first button below", [b2, link, b1])["element"] is b1

    def test_ordinal_beyond_candidates_fails(self):
        assert resolve("fifth button", [el(text="x")]) == FAILURE

    def test_text_entries_are_skipped(self):
        b = el(text="Go", y=50)
        assert resolve("1st", [b], [txt("Heading", y=0)])["element"] is b

    def test_method_with_its_own_arguments(self):
        matrix = LayoutBuilder([el("a", "x"), el(text="x", y=30)]).build()
        r = LayoutResolver(matrix)._resolve_ordinal(1, "button")
        assert r["element"] is matrix[1]["element"]


class TestResolveContract:
    @pytest.mark.parametrize("record", [{}, {"target": ""}, {"target": "Submit"}, {"target": "   "}])
    def test_targets_without_anchor_or_ordinal_fail(self, record):
        assert LayoutResolver([]).resolve(record) == FAILURE

    @pytest.mark.parametrize("target", [None, 3, ["a"]])
    def test_non_text_target_is_a_type_error(self, target):
        with pytest.raises(TypeError, match="target"):
            LayoutResolver([]).resolve({"target": target})

    def test_record_ordinal_is_ignored(self):
        buttons = [el(text="x", y=i * 50) for i in range(3)]
        r = LayoutResolver(LayoutBuilder(buttons).build()).resolve({"target": "first button", "ordinal": 3})
        assert r["element"] is buttons[0]

    def test_candidates_are_fresh_lists_of_the_scanned_records(self):
        buttons = [el(text="x", y=i * 50) for i in range(2)]
        matrix = LayoutBuilder(buttons).build()
        resolver = LayoutResolver(matrix)
        first, second = resolver.resolve({"target": "first button"}), resolver.resolve({"target": "first button"})
        assert first["candidates"] is not second["candidates"]
        assert all(a is b for a, b in zip(first["candidates"], buttons))
        assert resolver.matrix is matrix

    def test_rank_returns_the_given_entries(self):
        matrix = LayoutBuilder([el(text="a", x=100), el(text="b", x=200)], [txt("Q")]).build()
        anchor = matrix[-1] if matrix[-1]["is_anchor_only"] else matrix[0]
        cands = [e for e in matrix if e is not anchor]
        ranked = LayoutResolver._rank(cands, anchor, "right", None)
        assert all(any(r is c for c in cands) for r in ranked) and len(ranked) == 2
        assert LayoutResolver._rank(cands, anchor, "sideways", None) == []
        assert LayoutResolver._rank(cands, anchor, None, 1) == []

    def test_a_new_matrix_is_read_again(self):
        resolver = LayoutResolver([])
        assert resolver.resolve({"target": "first button"}) == FAILURE
        b = el(text="x")
        resolver.matrix = LayoutBuilder([b]).build()
        assert resolver.resolve({"target": "first button"})["element"] is b

    def test_replaced_entries_are_read_again(self):
        a, b = el(text="a"), el(text="b")
        matrix = LayoutBuilder([a]).build()
        resolver = LayoutResolver(matrix)
        assert resolver.resolve({"target": "first button"})["element"] is a
        matrix[0] = LayoutBuilder([b]).build()[0]
        assert resolver.resolve({"target": "first button"})["element"] is b

    def test_hand_built_entries_missing_position_raise_a_key_error(self):
        matrix = [{"index": 0, "text": "Name", "is_anchor_only": True, "element_type": "text"},
                  {"index": 1, "text": "x", "element_type": "button", "element": {}}]
        with pytest.raises(KeyError, match="position"):
            LayoutResolver(matrix).resolve({"target": "button next to name"})


class TestSlackRows:
    """A query form: a drop-down of priorities, and 14 px under it a row of
    status boxes, each named by its own label."""

    def form(self):
        mode = el("select", text="is", x=120, y=248, w=40, h=21)
        choice = el("select", text="blocker", x=234, y=248, w=64, h=21)
        accepted = el("input", text="accepted", x=170, y=283, w=13, h=13, type="checkbox", _label="accepted")
        return [mode, choice, accepted], [txt("accepted", x=186, y=281, w=60, h=17)]

    def test_a_box_labelled_in_the_row_below_is_not_beside_the_anchor(self):
        dom, texts = self.form()
        assert resolve("checkbox left of blocker", dom, texts)["element"] is not dom[2]

    @pytest.mark.parametrize("label", ["", "Remember me", "Remember me:"])
    def test_a_box_off_its_label_row_within_the_slack_still_counts(self, label):
        words = txt("Remember me", x=30, y=100, w=100, h=20)
        box = el("input", text="", x=0, y=123, w=13, h=13, type="checkbox", _label=label)
        assert resolve("checkbox left of Remember me", [box], [words])["element"] is box

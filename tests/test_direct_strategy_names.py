"""How the direct strategy weighs what it matched: names a person reads before
attribute noise, checkbox labels, page text as a last resort for a click,
typographic equivalents and decoration (colons, sort marks) that never stop a
match."""

import pytest

from test_direct_strategy import el, resolve, step, txt
from vantle.engine.strategies import direct_strategy as ds

# ---- names before noise ------------------------------------------------------------


def search_page():
    """A header filter that matches "Search" only by its type, above a form
    whose field is labelled "Search" and whose button reads "Search"."""
    menu_filter = el(tag="input", attrs={"type": "search", "aria-label": "Filter menu"}, y=0)
    icon = el("⌕", attrs={"data-search": ""}, x=200, y=0)
    field = el(tag="input", attrs={"type": "text", "_label": "Search", "name": "q"}, y=100)
    submit = el("Search", tag="input", attrs={"type": "submit", "value": "Search"}, x=200, y=100)
    return menu_filter, icon, field, submit


class TestNamesBeforeNoise:
    def test_typing_takes_the_labelled_field_not_the_search_type(self):
        menu_filter, icon, field, submit = search_page()
        result = resolve(step("type", "Search", "shoes"), [menu_filter, icon, field, submit])
        assert result["element"] is field and result["candidates"] == [field]

    def test_clicking_takes_the_button_that_reads_the_name(self):
        menu_filter, icon, field, submit = search_page()
        result = resolve(step("click", "Search"), [menu_filter, icon, field, submit])
        assert result["element"] is submit and result["candidates"] == [submit]

    @pytest.mark.parametrize(
        "named",
        [
            el("Search products"),
            el(attrs={"aria-label": "Search products"}),
            el(tag="img", attrs={"alt": "Search products"}),
            el(tag="input", attrs={"placeholder": "Search products"}),
        ],
    )
    def test_a_name_containing_the_target_beats_noise_equal_to_it(self, named):
        noise = el(attrs={"data-testid": "search"}, y=0)
        named["bounding_box"]["y"] = 50
        assert resolve(step("click", "search"), [noise, named])["element"] is named

    def test_exactness_is_judged_among_names_only(self):
        # Exact through its type, but only containing through its text.
        wide = el("Search all products", tag="input", attrs={"type": "search"}, y=0)
        plain = el("Search", y=50)
        assert resolve(step("click", "search"), [wide, plain])["candidates"] == [plain]

    def test_noise_alone_still_matches_with_the_old_order(self):
        first = el(attrs={"class": "search-toggle"}, y=0)
        exact = el(attrs={"id": "search"}, y=50)
        assert resolve(step("click", "search"), [first, exact])["candidates"] == [exact]

    @pytest.mark.parametrize("own", [{"id": "text", "name": "text"}, {"name": "text"}, {"data-testid": "text"}])
    @pytest.mark.parametrize("action", ["type", "click"])
    def test_an_own_id_or_name_beats_the_type_every_field_shares(self, own, action):
        search = el(tag="input", attrs={"type": "text", "_label": "Search:"}, y=0)
        editor = el(tag="textarea", attrs={"class": "wikitext", **own}, y=200)
        result = resolve(step(action, "text", "Agenda"), [search, editor])
        assert result["element"] is editor and result["candidates"] == [editor]

    def test_visibility_still_comes_first(self):
        hidden_named = el("Search", visible=False, y=0)
        visible_noise = el(attrs={"type": "search"}, tag="input", y=50)
        assert resolve(step("click", "Search"), [hidden_named, visible_noise])["element"] is visible_noise

    def test_verification_judges_the_named_element(self):
        noise = el("", tag="input", attrs={"type": "search"}, enabled=True)
        named = el("Search", enabled=False, y=50)
        result = resolve(step("verify_disabled", "Search"), [noise, named])
        assert result["element"] is named and result["verified"] is True

    @pytest.mark.parametrize(
        "target, record, include_label, source",
        [
            ("Search", search_page()[0], False, "type"),
            ("Search", search_page()[1], False, "data-search"),
            ("Search", search_page()[2], True, "_label"),
            ("Search", search_page()[2], False, ""),
            ("Search", search_page()[3], False, "text"),
            ("menu", search_page()[0], False, "aria-label"),
            ("checkout", el(attrs={"data-testid": "checkout", "class": "checkout-link"}), False, "data-testid"),
            ("cart", el(attrs={"class": "cart-icon", "id": "cart", "alt": "Your cart"}), False, "alt"),
            ("cart", el(attrs={"class": "cart-icon", "id": "cart"}), False, "class"),
        ],
    )
    def test_matched_by_names_the_source_a_name_first(self, target, record, include_label, source):
        assert ds._matched_by(target, record, include_label) == source


# ---- labels of checkboxes and radio buttons ------------------------------------------


class TestChoiceLabels:
    @pytest.mark.parametrize(
        "record",
        [
            el(tag="input", attrs={"type": "checkbox", "_label": "Remember me"}),
            el(tag="input", attrs={"type": "RADIO", "_label": "Remember me"}),
            el(tag="div", attrs={"role": "switch", "_label": "Remember me"}),
        ],
    )
    def test_a_click_names_a_choice_by_its_label(self, record):
        assert resolve(step("click", "Remember me"), [el("Sign in", y=90), record])["element"] is record

    def test_a_click_still_ignores_a_text_field_label(self):
        field = el(tag="input", attrs={"type": "text", "_label": "Remember me"})
        assert resolve(step("click", "Remember me"), [field])["resolved"] is False

    def test_checkbox_descriptor_word_is_dropped(self):
        box = el(tag="input", attrs={"type": "checkbox", "_label": "In transit"})
        assert resolve(step("click", "In transit checkbox"), [box])["element"] is box


# ---- typing only into fields that take text --------------------------------------------


@pytest.mark.parametrize("kind", ["submit", "button", "checkbox", "radio", "file", " Reset "])
def test_type_skips_inputs_that_take_no_text(kind):
    button = el("Search", tag="input", attrs={"type": kind})
    field = el(tag="input", attrs={"type": "search", "_label": "Find"}, y=50)
    assert ds._filter_by_action("type", [button, field]) == [field]


# ---- clicking text ------------------------------------------------------------------------


class TestClickingText:
    def table(self):
        table = txt("Brass lamp $40\nOak table $300", tag="div", xpath="/html[1]/body[1]/div[1]", w=400, h=60)
        cell = txt("Brass lamp", tag="td", xpath="/html[1]/body[1]/div[1]/table[1]/tbody[1]/tr[1]/td[1]", y=10)
        price = txt("$40", tag="td", xpath="/html[1]/body[1]/div[1]/table[1]/tbody[1]/tr[1]/td[2]", x=100, y=10)
        return table, cell, price

    def test_the_innermost_text_is_clicked(self):
        table, cell, price = self.table()
        result = resolve(step("click", "Brass lamp"), [el("Buy", y=300)], [table, cell, price])
        assert result["element"] is cell and result["candidates"] == [cell]

    def test_an_interactable_match_wins_over_text(self):
        table, cell, price = self.table()
        link = el("Brass lamp", tag="a", y=500)
        assert resolve(step("click", "Brass lamp"), [link], [table, cell, price])["element"] is link

    def test_text_matched_only_through_its_class_is_not_clicked(self):
        row = txt("$40", tag="div", attrs={"class": "brass-lamp"})
        assert resolve(step("click", "brass lamp"), [], [row])["resolved"] is False

    def test_hidden_text_is_not_clicked(self):
        hidden = dict(txt("Brass lamp"), is_visible=False)
        assert resolve(step("click", "Brass lamp"), [], [hidden])["resolved"] is False

    def test_hover_does_not_fall_back_to_text(self):
        assert resolve(step("hover", "Brass lamp"), [], [txt("Brass lamp")])["resolved"] is False


# ---- typographic equivalents and decoration ---------------------------------------------


class TestTypography:
    @pytest.mark.parametrize(
        "target, shown",
        [
            ("Yes, I'm sure", "Yes, I\u2019m sure"),
            ("'Spring' sale", "\u2018Spring\u2019 sale"),
            ('"Spring" sale', "\u201cSpring\u201d sale"),
            ("Mon - Fri", "Mon \u2013 Fri"),
            ("Mon-Fri", "Mon\u2014Fri"),
            ("Total due", "Total\u00a0due"),
            ("total due", "TOTAL\u202fDUE"),
        ],
    )
    def test_typed_forms_find_typographic_ones(self, target, shown):
        button = el(shown)
        assert resolve(step("click", target), [button])["element"] is button
        assert resolve(step("verify_text_present", target), [], [txt(shown)])["verified"] is True
        assert resolve(step("find_exact_text", target), [], [txt(shown)])["resolved"] is True

    def test_the_typed_form_is_exact_when_only_typography_differs(self):
        curly, longer = el("Yes, I\u2019m sure"), el("Yes, I'm sure I want it", y=-50)
        assert resolve(step("click", "Yes, I'm sure"), [longer, curly])["candidates"] == [curly]

    def test_a_line_break_is_not_a_space(self):
        assert resolve(step("verify_text_present", "Total due"), [], [txt("Total\ndue")])["verified"] is False

    def test_expected_text_is_compared_folded(self):
        cells = [txt("Status", xpath="/html[1]/body[1]/p[1]"), txt("Can\u2019t ship", x=200, xpath="/html[1]/body[1]/p[2]")]
        result = resolve(step("verify_spatial_text", "right of Status", "Can't ship"), [], cells)
        assert result["verified"] is True and result["state"]["actual"] == "Can\u2019t ship"

    @pytest.mark.parametrize("header", ["Date\u00a0\u25b2", "Date \u25bc", "Date\u00a0\u2191", "Date \u25b8", "Date\u00a0\u25be"])
    def test_a_sort_mark_does_not_stop_an_anchor(self, header):
        cells = [
            txt(header, tag="th", y=0, xpath="/html[1]/body[1]/table[1]/tr[1]/th[1]"),
            txt("2024-05-01", tag="td", y=40, xpath="/html[1]/body[1]/table[1]/tr[2]/td[1]"),
        ]
        assert resolve(step("extract_text_spatial", "below Date"), [], cells)["extracted"] == "2024-05-01"
        # Written with its mark, the anchor still finds the header.
        assert resolve(step("extract_text_spatial", "below " + header), [], cells)["extracted"] == "2024-05-01"

    def test_a_mark_inside_a_text_is_kept(self):
        cells = [txt("Date \u25b2 x", tag="th"), txt("1", tag="td", y=40, xpath="/html[1]/body[1]/td[9]")]
        assert resolve(step("extract_text_spatial", "below Date"), [], cells)["resolved"] is False

    @pytest.mark.parametrize("header", ["Date\u00a0\u25b2", "Date:"])
    def test_decoration_does_not_make_a_match_inexact(self, header):
        sortable, other = el(header, tag="th", y=50), el("Date range", y=0)
        assert resolve(step("click", "Date"), [other, sortable])["candidates"] == [sortable]


class TestColons:
    def fields(self):
        code = el(tag="input", attrs={"_label": "Country code:"}, y=0)
        country = el(tag="input", attrs={"_label": "Country:"}, y=50)
        return code, country

    def test_typing_prefers_the_label_that_is_the_name_but_for_its_colon(self):
        code, country = self.fields()
        assert resolve(step("type", "Country", "CA"), [code, country])["element"] is country

    def test_selecting_prefers_it_too(self):
        dest = el(tag="select", attrs={"_label": "Destination country:"}, y=0)
        country = el(tag="select", attrs={"_label": "Country:"}, y=50)
        assert resolve(step("select", "Country", "Canada"), [dest, country])["element"] is country

    def test_a_target_with_a_colon_finds_a_label_without(self):
        field = el(tag="input", attrs={"_label": "Country"})
        assert resolve(step("type", "Country:", "CA"), [field])["element"] is field

    def test_a_lone_colon_is_taken_as_written(self):
        assert ds._exact_matches_element(":", el(":"))
        assert not ds._matches_element(":", el("Country"))

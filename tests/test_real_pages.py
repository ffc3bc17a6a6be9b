"""Steps a tester writes against pages built like common applications: a
disclosure sidebar, labelled and unlabelled drop-downs, icon controls and
headings that span the page. Each step must reach the element a person means."""

import pytest

from playwright.sync_api import expect

from vantle import StepFailed, WebAgent

pytestmark = pytest.mark.browser


@pytest.fixture(scope="module")
def agent():
    with WebAgent(screenshots=False, timeout_ms=2500) as agent:
        yield agent


@pytest.fixture
def on(agent, server):
    def _open(name):
        agent.run(f"navigate {server}/realistic/{name}")
        return agent

    return _open


def log(agent):
    return agent.page.locator("#log").inner_text()


class TestDisclosure:
    def test_a_summary_is_clicked_by_its_text(self, on):
        agent = on("filters.html")
        agent.run('click "Advanced"')
        # A details element reports its toggle in a later task than the click,
        # and its own opening at load comes the same way: wait for the last word.
        expect(agent.page.locator("#log")).to_have_text("closed Advanced")
        agent.run('click "Closed group"')
        agent.run('click "Hidden inside"')
        assert log(agent) == "inside"

    def test_a_summary_anchors_what_lies_below_it(self, on):
        agent = on("filters.html")
        agent.run('click "No" below "Advanced"')
        assert log(agent) == "no"

    @pytest.mark.parametrize("step, wanted", [('click "Maybe" below "Advanced"', "Maybe"),
                                              ('click "All" above "Advanced"', "All"),
                                              ('click link "Maybe" below "Advanced"', "Maybe")])
    def test_a_quoted_name_nothing_there_bears_is_never_the_nearest_other(self, on, step, wanted):
        agent = on("filters.html")
        with pytest.raises(Exception, match=f"nothing reading '{wanted}' that the step can act on"):
            agent.run(step)
        assert log(agent) in ("Nothing chosen", "opened Advanced")  # the details' own toggle on load


class TestDropDownShowsItsChoice:
    @pytest.mark.parametrize("step", ['extract text from "Country"', 'extract text right of "Country"',
                                      'extract text right of "Country:"'])
    def test_reading_a_drop_down_gives_its_chosen_option(self, on, step):
        assert on("filters.html").run(step) == "Canada"

    def test_verify_text_right_of_a_label_reads_the_chosen_option(self, on):
        agent = on("filters.html")
        assert agent.run('verify text right of "Country:" is Canada') is True

    def test_an_unlabelled_drop_down_anchors_by_what_it_shows(self, on):
        agent = on("filters.html")
        agent.run('type lamp into field right of "contains"')
        assert agent.page.locator("#value").input_value() == "lamp"

    def test_options_not_chosen_do_not_name_the_drop_down(self, on):
        agent = on("filters.html")
        agent.run('click "Price"')
        assert log(agent) == "sorted by price"
        assert agent.page.locator("#country").input_value() == "Canada"


class TestIcons:
    @pytest.mark.parametrize("step, said", [
        ('click "Choose a date"', "calendar"),  # a title on the icon inside the link
        ('click "Close"', "closed"),  # an SVG <title>
        ('click "Delete"', "deleted"),  # an aria-label on an icon-font glyph
        ('click "Favourite"', "favourite"),  # a pointer-cursor element holding only an icon
    ])
    def test_an_icon_control_is_named_by_its_icon(self, on, step, said):
        agent = on("icons.html")
        agent.run(step)
        assert log(agent) == said

    @pytest.mark.parametrize("header", ["Status", "Added"])
    def test_icon_right_of_a_header_is_that_headers_icon(self, on, header):
        agent = on("icons.html")
        agent.run(f'click icon right of "{header}"')
        assert log(agent) == f"menu of {header.lower()}"


class TestMeasuredFromTheWords:
    def test_text_below_a_full_width_heading_is_the_line_under_its_words(self, on):
        assert on("headings.html").run('extract text below "Order summary"') == "2 items, total $125.00"

    def test_links_after_a_label_in_its_line_are_right_of_it(self, on):
        agent = on("headings.html")
        agent.run('click "weekly" right of "Group by:"')
        assert log(agent) == "weekly"

    def test_a_column_cell_wider_than_its_header_is_below_it(self, on):
        assert on("headings.html").run('extract text below "name"') == "Brass lamp with a long name"


class TestSameLabelTwice:
    """A ticket shows its fields, and again in its change history with the old value."""

    @pytest.mark.parametrize("step, text", [('extract text right of "Priority:"', "blocker"),
                                            ('extract text below "Description"', "The office printer caught fire.")])
    def test_the_label_read_first_is_the_anchor(self, on, step, text):
        assert on("ticket.html").run(step) == text

    def test_verifying_reads_the_current_value_not_the_history(self, on):
        assert on("ticket.html").run('verify text right of "Priority:" is blocker') is True


class TestFieldByItsOwnName:
    def test_a_field_named_text_is_not_the_search_box_of_type_text(self, on):
        agent = on("wiki_edit.html")
        agent.run('type "Agenda: printers." into "text"')
        assert agent.page.locator("#text").input_value() == "Agenda: printers."
        assert agent.page.locator("#q").input_value() == ""


class TestRepeatedLabelWords:
    def test_a_rich_editor_is_named_by_the_heading_above_it_not_a_side_list_repeating_it(self, on):
        agent = on("editor.html")
        agent.run('type "Summer fair on Saturday" into "Body"')
        assert agent.page.locator("#editor").inner_text().strip() == "Summer fair on Saturday"
        assert agent.page.locator("#id_title").input_value() == ""


class TestActionRadios:
    @pytest.mark.parametrize("kind", ["radio button", "radio"])
    def test_the_radio_left_of_its_label_is_ticked(self, on, kind):
        agent = on("ticket.html")
        agent.run(f'click {kind} left of "accept"')
        assert agent.page.locator("#action_accept").is_checked()
        assert agent.run('verify "accept" is checked') is True
        assert agent.run('verify "leave" is not checked') is True


class TestSlackRowsInAQueryForm:
    def test_a_box_labelled_in_the_next_row_is_not_left_of_a_choice(self, on):
        agent = on("query.html")
        with pytest.raises(StepFailed):
            agent.run('check checkbox left of "blocker"')
        with pytest.raises(StepFailed):
            agent.run('uncheck checkbox left of "blocker"')
        assert agent.page.locator("#s_accepted").is_checked()

    def test_the_box_of_its_own_label_is_still_found(self, on):
        agent = on("query.html")
        agent.run('click checkbox left of "closed"')
        assert agent.page.locator("#s_closed").is_checked()


class TestPickerThatAddsRows:
    def test_choosing_a_field_that_adds_a_row_above_the_picker_passes(self, on):
        agent = on("query.html")
        agent.run('select "Component" from "And"')
        assert agent.page.locator("#add_filter").input_value() == "Component"
        assert agent.page.locator("tr.added th").inner_text() == "Component"


class TestTypeWordsAndOtherFields:
    @pytest.mark.parametrize("kind", ["button", "checkbox"])
    def test_a_type_word_never_takes_a_native_field_of_another_kind(self, on, kind):
        agent = on("query_row.html")
        with pytest.raises(Exception, match=f"nothing fits '{kind} left of blocker'"):
            agent.run(f'click {kind} left of "blocker"')
        assert agent.page.locator("#log").inner_text() == "Nothing pressed"

    def test_a_type_word_still_takes_a_widget_drawn_otherwise(self, on):
        agent = on("query_row.html")
        agent.run('click dropdown left of "urgent"')
        assert agent.page.locator("#log").inner_text() == "urgent box"

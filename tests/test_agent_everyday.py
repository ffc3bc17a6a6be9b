"""The everyday actions through the agent on real Chromium: ticking, clearing,
uploading, double and right clicks, dragging, scrolling, history and the
address and title checks."""

import re

import pytest

from vantle import StepFailed, WebAgent

pytestmark = pytest.mark.browser

HERE = __import__("pathlib").Path(__file__).parent


@pytest.fixture(scope="module")
def agent():
    with WebAgent(timeout_ms=2000, file_roots=[str(HERE / "pages" / "agent")]) as agent:
        yield agent


@pytest.fixture
def on(agent, server):
    def _open(name):
        agent.run(f"navigate {server}/agent/{name}")
        return agent

    return _open


def checked(agent, selector):
    return agent.page.evaluate(
        "s => { const el = document.querySelector(s); return el.type ? el.checked : el.getAttribute('aria-checked') === 'true'; }",
        selector,
    )


def said(agent):
    return agent.page.inner_text("#said")


class TestTicks:
    @pytest.mark.parametrize(
        "step, selector, expected",
        [
            ('check "Newsletter"', "#news", True),
            ('uncheck "Newsletter"', "#news", False),
            ('check "Accept terms"', "#terms", True),
            ('uncheck "Accept terms"', "#terms", False),
            ('check "Dark mode"', "#dark", True),
            ('uncheck "Dark mode"', "#dark", False),
        ],
    )
    def test_the_state_is_set_whatever_it_was(self, on, step, selector, expected):
        agent = on("controls.html")
        agent.run(step)
        assert checked(agent, selector) is expected
        agent.run(step)  # a second time leaves it as it is, unlike a click
        assert checked(agent, selector) is expected

    @pytest.mark.parametrize("name", ["Newsletter", "Accept terms", "Dark mode"])
    def test_checks_read_the_tick_a_step_left(self, on, name):
        agent = on("controls.html")
        for action, state, denied in (("check", "is checked", "is not checked"),
                                      ("uncheck", "is unchecked", "is checked")):
            agent.run(f'{action} "{name}"')
            assert agent.run(f'verify "{name}" {state}') is True
            with pytest.raises(StepFailed, match="expected .* checked"):
                agent.run(f'verify "{name}" {denied}')

    def test_a_box_is_read_not_the_button_beside_its_label(self, on):
        # As in an export form: the label wraps the box, a submit button follows.
        agent = on("controls.html")
        assert agent.run('verify "download file" is not checked') is True
        agent.run('check "download file"')
        assert agent.run('verify "download file" is checked') is True
        assert checked(agent, "#dl") is True

    @pytest.mark.parametrize("ending", ["is checked", "is not checked"])
    def test_a_field_is_neither_checked_nor_unchecked(self, on, ending):
        agent = on("controls.html")
        with pytest.raises(StepFailed, match="is not a check box, radio button or switch"):
            agent.run(f'verify "Full name" {ending}')

    def test_a_field_is_not_ticked(self, on):
        agent = on("controls.html")
        with pytest.raises(StepFailed, match="Full name"):
            agent.run('check "Full name"')


class TestShownText:
    @pytest.mark.parametrize("step, passes", [
        # What a list box lists and a drop-down shows is text on the page...
        ('verify text "Shop | order | Can view order" is present', True),
        ('verify text "Can change product" is visible', True),
        ('verify text "Small" is present', True),
        # ...but not the drop-down's other choices, which nobody sees.
        ('verify text "Large" is not present', True),
        ('verify text "Shop | order | Can view order" is not present', False),
    ])
    def test_controls_show_text_too(self, on, step, passes):
        agent = on("controls.html")
        if passes:
            assert agent.run(step) is True
        else:
            with pytest.raises(StepFailed):
                agent.run(step)


class TestFields:
    def test_clear_empties_a_field_found_by_its_label(self, on):
        agent = on("controls.html")
        agent.run('clear "Full name"')
        assert agent.page.input_value("#name") == ""

    @pytest.mark.parametrize("step, value", [('extract text from "Full name"', "Old Name"),
                                             ('extract text from "Delivery"', "Express")])
    def test_extract_reads_the_field_its_label_names_not_the_label(self, on, step, value):
        assert on("controls.html").run(step) == value

    @pytest.mark.parametrize("step, said", [
        ('type hello into "Open folder"', "'Open folder' is <button>, which cannot take typed text."),
        ('check "Open folder"', "'Open folder' is <button>, which cannot take a tick."),
        ('type hello into "Next page"', "'Next page' is <a>, which cannot take typed text."),
        ('select "Large" from "Far away"', "'Far away' is <button>, which cannot take a choice of option."),
    ])
    def test_a_step_on_something_that_cannot_take_it_says_what_that_is(self, on, step, said):
        with pytest.raises(Exception, match=re.escape(said)):
            on("controls.html").run(step)

    def test_text_above_a_button_is_no_label_of_it(self, on):
        agent = on("controls.html")
        assert agent.run('extract text from "Total"') == "Total: $29.00"
        with pytest.raises(Exception) as failed:
            agent.run('verify "Total" is checked')
        assert "Buy now" not in str(failed.value)

    def test_upload_reads_the_path_from_the_file_roots(self, on):
        agent = on("controls.html")
        agent.run('upload files/note.txt into "Attachment"')
        assert said_chosen(agent) == "Chosen: note.txt 13"

    def test_an_absolute_path_is_taken_as_it_is(self, on):
        agent = on("controls.html")
        agent.run(f'upload "{HERE / "pages" / "agent" / "files" / "note.txt"}" into "Attachment"')
        assert said_chosen(agent) == "Chosen: note.txt 13"

    def test_a_missing_file_fails_naming_where_it_was_looked_for(self, on):
        agent = on("controls.html")
        with pytest.raises(StepFailed) as failure:
            agent.run('upload files/absent.txt into "Attachment"')
        assert "no file 'files/absent.txt'" in str(failure.value)
        assert str(HERE / "pages" / "agent" / "files" / "absent.txt") in str(failure.value)


def said_chosen(agent):
    return agent.page.inner_text("#chosen")


class TestPointer:
    @pytest.mark.parametrize(
        "step, expected",
        [('double click "Open folder"', "Double clicked"), ('right click "Options"', "Menu opened")],
    )
    def test_clicks_of_another_kind(self, on, step, expected):
        agent = on("controls.html")
        assert agent.run(step) in ("Open folder", "Options")
        assert said(agent) == expected

    def test_a_plain_click_is_not_a_double_click(self, on):
        agent = on("controls.html")
        agent.run('click "Open folder"')
        assert said(agent) == "Nothing yet"

    def test_drag_drops_onto_the_destination(self, on):
        agent = on("controls.html")
        agent.run('drag "Task card" to "Done column"')
        assert said(agent) == "Dropped card"

    def test_drag_to_nothing_names_the_destination(self, on):
        agent = on("controls.html")
        with pytest.raises(StepFailed, match="No such column"):
            agent.run('drag "Task card" to "No such column"')


class TestPlacedSteps:
    @pytest.mark.parametrize("step", ['type admin into first input below "Login"',
                                      'type secret into second input below "Login"',
                                      'type hello into button right of "Note"'])
    def test_nothing_that_cannot_take_the_keys_is_typed_into(self, on, step):
        # Below the "Login" button there are only links; right of "Note" a
        # button. Neither stands in for a field.
        agent = on("sidebar-login.html")
        with pytest.raises(StepFailed, match=r"nothing fits .*: its anchor is the <input> 'Login'|nothing fits .*'Note'"):
            agent.run(step)
        assert agent.page.evaluate("location.hash") == ""
        assert agent.page.evaluate("document.activeElement === document.body")

    @pytest.mark.parametrize("step, name", [('type admin into "__login_name"', "__login_name"),
                                            ('type secret into "login password"', "__login_password")])
    def test_a_field_that_shows_no_label_is_found_by_its_name(self, on, step, name):
        agent = on("sidebar-login.html")
        agent.run(step)
        assert agent.page.input_value(f"[name={name}]") == step.split()[1]

    def test_a_bold_heading_over_links_is_text_of_the_page(self, on):
        agent = on("sidebar-login.html")
        assert agent.run('verify text "Keywords" is present') is True
        agent.run('click "Create New" below "Keywords"')
        assert agent.page.evaluate("location.hash") == "#keyword-new"

    def test_what_can_take_the_step_is_still_found_from_the_same_anchor(self, on):
        agent = on("sidebar-login.html")
        agent.run('check checkbox above "Login"')
        assert checked(agent, "#remember") is True


class TestScrolling:
    def test_scroll_to_brings_the_element_into_view(self, on):
        agent = on("controls.html")
        agent.run('scroll to "Far away"')
        top = agent.page.evaluate("document.getElementById('far').getBoundingClientRect().top")
        assert 0 <= top <= agent.page.viewport_size["height"]

    def test_scroll_down_loads_more_rows_of_a_lazy_list(self, on):
        agent = on("long-list.html")
        with pytest.raises(StepFailed):
            agent.run('verify text "Row 30" is present')
        agent.run("scroll down")
        assert agent.run('verify text "Row 30" is present') is True

    def test_scroll_down_scrolls_the_page_where_nothing_else_scrolls(self, on):
        agent = on("controls.html")
        agent.run("scroll down")
        assert agent.page.evaluate("window.scrollY") > 0


class TestHistory:
    def test_back_reload_address_and_title(self, on):
        agent = on("controls.html")
        assert agent.run("verify title is control room") is True
        agent.run('click "Next page"')
        assert agent.run("verify url contains /agent/second.html") is True
        assert agent.run("verify title is Second Page Ready") is True  # set by a script a little later
        agent.run("reload")
        assert agent.run('verify text "Loaded 2 times" is present') is True
        agent.run("go back")
        assert agent.run("verify url contains controls.html") is True

    def test_back_from_the_first_page_fails(self, server):
        with WebAgent(timeout_ms=1000) as fresh:
            with pytest.raises(StepFailed, match="no earlier page"):
                fresh.run("go back")

    @pytest.mark.parametrize(
        "step, expected",
        [
            ("verify title is Another Title", "expected 'Another Title', found 'Control Room'"),
            ("verify url contains elsewhere.html", "expected the address to contain 'elsewhere.html'"),
        ],
    )
    def test_a_false_check_names_what_the_page_shows(self, on, step, expected):
        agent = on("controls.html")
        with pytest.raises(StepFailed, match=expected):
            agent.run(step)

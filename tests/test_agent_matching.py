"""The steps a tester writes, on real Chromium: names before attribute noise,
checkbox labels, clicking plain text, typographic equivalents, labels ending
in a colon and typing into rich editors."""

import pytest

from vantle import StepFailed, WebAgent

pytestmark = pytest.mark.browser


@pytest.fixture(scope="module")
def agent():
    with WebAgent(timeout_ms=2500) as agent:
        yield agent


@pytest.fixture
def page(agent, server):
    """page("x.html") opens tests/pages/matching/x.html in the shared agent."""

    def _open(name):
        agent.run(f"navigate {server}/matching/{name}")
        return agent

    return _open


def live(agent):
    return agent._browser_manager.page


# Each page writes what its controls did into a log line; the steps must
# reach the control whose effect shows.
@pytest.mark.parametrize(
    "name, steps, effect",
    [
        # Names before noise: the header's filter matches "Search" only by its type.
        ("names.html", ['type shoes into "Search"', 'click "Search"'], "searched for shoes"),
        ("names.html", ['type tea into "Filter menu"'], "menu filter: tea"),
        # Plain text is clicked when no control matches, a control first when one does.
        ("cells.html", ['click "Brass lamp"'], "opened brass lamp"),
        ("cells.html", ['click "Oak table"'], "opened oak table"),
        ("cells.html", ['click "Notes for the buyer"'], "expanded notes"),
        ("cells.html", ['click "Copper lamp"'], "copper lamp link"),
        # Typed forms find typographic ones; a sort mark does not stop an anchor.
        ("typography.html", ["click \"Yes, I'm sure\""], "confirmed"),
        ("typography.html", ['click "Mon - Fri"'], "picked range"),
        ("typography.html", ['click first button below "Actions"'], "edited report"),
        # An icon-only link or button is named by its tooltip; a visible name still wins.
        ("tooltips.html", ['click "Add another category"'], "add category"),
        ("tooltips.html", ['click "Delete row"'], "deleted row"),
        ("tooltips.html", ['click "Delete"'], "plain delete"),
        # A word of a tooltip is not a name: the field's own name wins.
        ("tooltips.html", ['select "Chairs" from "Category"', 'click "Change selected category"'], "change category"),
    ],
)
def test_steps_reach_the_intended_control(page, name, steps, effect):
    agent = page(name)
    for step in steps:
        agent.run(step)
    assert agent.run(f'verify text "{effect}" is present') is True


def test_text_that_is_not_on_the_page_still_fails(page):
    with pytest.raises(StepFailed):
        page("cells.html").run('click "Silver lamp"')


class TestChoices:
    def test_a_checkbox_is_clicked_by_its_label(self, page):
        agent = page("choices.html")
        agent.run('click "Remember me"')
        assert live(agent).is_checked("#remember")

    def test_a_radio_button_is_clicked_by_its_wrapping_label(self, page):
        agent = page("choices.html")
        agent.run('click "Yearly"')
        assert live(agent).is_checked("input[value=y]") and not live(agent).is_checked("input[value=m]")


class TestTypography:
    @pytest.mark.parametrize(
        "instruction",
        [
            "verify text \"can't be undone\" is present",
            'verify text "Mon - Fri" is present',
            'verify text "Total due: $12.50" is present',
            'verify text right of "Name" is Date',
        ],
    )
    def test_checks_compare_typed_forms(self, page, instruction):
        assert page("typography.html").run(instruction) is True

    @pytest.mark.parametrize("header, cell", [("Date", "2024-05-01"), ("Owner", "Ann")])
    def test_a_sorted_header_is_an_anchor_without_its_mark(self, page, header, cell):
        agent = page("typography.html")
        assert agent.run(f'extract text below "{header}"') == cell
        assert agent.run(f'verify text below "{header}" is {cell}') is True


class TestColons:
    def test_select_by_the_label_without_its_colon(self, page):
        agent = page("colons.html")
        agent.run('select Canada from "Country"')
        assert live(agent).eval_on_selector("#country", "s => s.value") == "Canada"
        assert live(agent).eval_on_selector("#dest", "s => s.value") == "Austria"

    def test_type_by_the_label_without_its_colon(self, page):
        agent = page("colons.html")
        agent.run('type Ada into "Name"')
        agent.run('type CA into "Country code"')
        assert live(agent).input_value("#name") == "Ada"
        assert live(agent).input_value("#last") == ""
        assert live(agent).input_value("#country-code") == "CA"


class TestRichEditors:
    def test_typing_into_a_field_behind_a_code_editor(self, page):
        agent = page("editors.html")
        agent.run('type "select 1" into "Query"')
        assert live(agent).input_value("#query") == "select 1"
        assert live(agent).inner_text("#query-copy") == "query: select 1"
        # The field is focused directly, not reached by the last fallback (a
        # mouse click on the editor) after two clicks waited out their limit.
        assert live(agent).eval_on_selector("body", "b => b.dataset.forwarded || '0'") == "0"

    def test_typing_into_a_contenteditable_editor_replaces_its_text(self, page):
        agent = page("editors.html")
        agent.run('type "Call back" into "Notes"')
        agent.run('type "Call back tomorrow" into "Notes"')
        assert live(agent).inner_text("#notes") == "Call back tomorrow"

    def test_a_plain_field_is_still_typed_into_by_a_click(self, page):
        agent = page("editors.html")
        agent.run('type Report into "Title"')
        assert live(agent).input_value("#plain") == "Report"


@pytest.mark.parametrize(
    "instruction, attribute",
    [('click "product-filter"', "class"), ('click "menu-filter"', "id"), ('click "Shoes"', None)],
)
def test_a_match_through_attribute_noise_is_named_in_the_step_and_in_explain(page, instruction, attribute):
    from vantle._explain import explain, render

    agent = page("names.html")
    agent.run(instruction)
    step = agent._steps[-1]
    seen = agent._last_resolution
    explained = explain({"url": agent.page.url, "elements": seen["elements"],
                         "text_elements": seen["text_elements"]}, instruction)
    if attribute is None:
        assert "message" not in step and "matched_through" not in explained
        return
    note = f"matched only through its '{attribute}' attribute, not by a name on the page"
    assert step["status"] == "passed" and step["message"] == note
    assert explained["matched_through"] == attribute
    assert "Note:        " + note in render(explained)

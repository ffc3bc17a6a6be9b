"""Steps a tester writes against forms built like a content admin's: each field
in wrappers whose class names speak of inputs, its label above, help text between."""

import pytest

from test_real_pages import agent, on  # noqa: F401 (fixtures)

pytestmark = pytest.mark.browser


@pytest.fixture
def form(on):
    return on("account_form.html")


def value(agent, ident):
    return agent.page.locator(f"#{ident}").input_value()


def test_each_password_goes_into_its_own_field_not_the_wrapper_around_it(form):
    form.run('type "S3cret-pass-99" into "Password"')
    form.run('type "other-pass-11" into "Password confirmation"')
    assert (value(form, "id_password1"), value(form, "id_password2")) == ("S3cret-pass-99", "other-pass-11")


def test_an_element_styled_as_an_input_without_a_field_inside_still_takes_text(form):
    form.run('type "printers" into "search-input"')
    assert form.page.locator("#tags").inner_text().strip() == "printers"


@pytest.mark.parametrize("anchor", ["Username", "Username*"])
def test_a_required_mark_after_a_label_is_not_part_of_its_name(form, anchor):
    form.run(f'type newbie into field below "{anchor}"')
    assert value(form, "id_username") == "newbie"


def test_a_rich_editor_that_copies_its_text_late_has_it_saved(on):
    agent = on("debounced_editor.html")
    agent.run('type "Hello world" into "Body"')
    agent.run('click "Publish"')
    assert agent.page.locator("#saved").inner_text() == "Saved: Hello world"

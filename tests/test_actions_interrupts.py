"""An interrupt (Ctrl-C, the test runner's time limit) ends an action at once;
ordinary errors still move on to the next attempt."""

import pytest

from vantle.engine.browser.actions import Actions

SAVE = {
    "tag": "button",
    "text": "Save",
    "xpath": "/html[1]/body[1]/button[1]",
    "attributes": {},
    "bounding_box": {"x": 10, "y": 10, "width": 80, "height": 20},
}


class FailingPage:
    """A page whose every operation raises the given error, recording what was tried."""

    def __init__(self, error):
        self.error = error
        self.tried = []

    def locator(self, selector):
        self.tried.append(selector)
        raise self.error

    @property
    def mouse(self):
        self.tried.append("mouse")
        raise self.error


def test_an_ordinary_error_falls_back_to_the_next_attempt():
    page = FailingPage(ValueError("gone"))
    with pytest.raises(RuntimeError, match=r"^Failed to click element 'Save': "):
        Actions(page).click(SAVE)
    assert page.tried[0] == "xpath=/html[1]/body[1]/button[1]"
    assert page.tried[-1] == "mouse"


@pytest.mark.parametrize("error", [KeyboardInterrupt(), SystemExit(3)])
@pytest.mark.parametrize("act", ["click", "type_text", "extract_text"])
def test_an_interrupt_is_not_swallowed(error, act):
    page = FailingPage(error)
    args = (SAVE, "x") if act == "type_text" else (SAVE,)
    with pytest.raises(type(error)):
        getattr(Actions(page), act)(*args)
    assert page.tried == [page.tried[0]]

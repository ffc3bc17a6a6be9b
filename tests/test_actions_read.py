"""Native dialogs through a browser manager, reading element content back,
searching page text, and ids that need escaping as CSS identifiers."""

import pytest

from actions_helpers import describe
from vantle.engine.browser.actions import Actions

pytestmark = pytest.mark.browser

NO_MANAGER = "No browser manager \u2014 cannot handle dialogs."


class DialogKeeper:
    """Keeps the page's native dialog pending until someone handles it."""

    def __init__(self, page):
        self.dialog = None
        self.cleared = 0
        page.on("dialog", self._keep)

    def _keep(self, dialog):
        self.dialog = dialog

    def get_dialog(self):
        return self.dialog

    def clear_dialog(self):
        self.cleared += 1
        self.dialog = None


class FalsyManager(DialogKeeper):
    def __bool__(self):
        return False


def open_dialog(page, kind, message):
    """Opens alert/confirm/prompt from a timer, so that nothing waits on it."""
    with page.expect_event("dialog"):
        page.evaluate("([kind, message]) => setTimeout(() => { window.answer = window[kind](message); })", [kind, message])


@pytest.fixture
def read_page(open_page):
    page = open_page("actions/read.html")
    page.set_default_timeout(2000)
    return page


class TestDialogs:
    @pytest.mark.parametrize("kind", ["alert", "confirm"])
    @pytest.mark.parametrize("operation, answer", [("accept_dialog", True), ("dismiss_dialog", False)])
    def test_handle_returns_the_message(self, read_page, kind, operation, answer):
        manager = DialogKeeper(read_page)
        open_dialog(read_page, kind, "Are you sure? ✓")
        actions = Actions(read_page, manager)
        assert getattr(actions, operation)() == "Are you sure? ✓"
        assert manager.dialog is None and manager.cleared == 1
        assert read_page.evaluate("window.answer") == (answer if kind == "confirm" else None)

    def test_message_read_twice_then_accepted_once(self, read_page):
        manager = DialogKeeper(read_page)
        open_dialog(read_page, "confirm", "Are you sure?")
        actions = Actions(read_page, manager)
        assert actions.get_dialog_message() == "Are you sure?"
        assert actions.get_dialog_message() == "Are you sure?"
        assert manager.cleared == 0
        assert actions.accept_dialog() == "Are you sure?"
        with pytest.raises(RuntimeError, match="^No pending dialog to accept.$"):
            actions.accept_dialog()
        assert read_page.evaluate("window.answer") is True

    @pytest.mark.parametrize("manager_kind", ["none", "falsy"])
    @pytest.mark.parametrize("operation", ["accept_dialog", "dismiss_dialog", "get_dialog_message"])
    def test_without_a_manager(self, read_page, manager_kind, operation):
        manager = None if manager_kind == "none" else FalsyManager(read_page)
        with pytest.raises(RuntimeError) as info:
            getattr(Actions(read_page, manager), operation)()
        assert str(info.value) == NO_MANAGER

    @pytest.mark.parametrize(
        "operation, message",
        [
            ("accept_dialog", "No pending dialog to accept."),
            ("dismiss_dialog", "No pending dialog to dismiss."),
            ("get_dialog_message", "No pending dialog."),
        ],
    )
    def test_without_a_dialog(self, read_page, operation, message):
        manager = DialogKeeper(read_page)
        with pytest.raises(RuntimeError) as info:
            getattr(Actions(read_page, manager), operation)()
        assert str(info.value) == message
        assert manager.cleared == 0

    def test_click_that_opens_a_dialog_ends_there(self, read_page):
        manager = DialogKeeper(read_page)
        actions = Actions(read_page, manager)
        assert actions.click(describe(read_page, "#ask")) == "Delete"
        assert actions.get_dialog_message() == "Delete it?"
        assert actions.accept_dialog() == "Delete it?"
        assert read_page.evaluate("window.answer") is True

    def test_manager_and_page_are_kept(self, read_page):
        manager = DialogKeeper(read_page)
        actions = Actions(read_page, manager)
        assert actions.page is read_page
        assert actions._browser_manager is manager
        assert Actions(read_page)._browser_manager is None


class TestExtractText:
    @pytest.mark.parametrize(
        "selector, tag, expected",
        [
            ("#amount", "input", "42"),
            ("#empty", "input", ""),
            ("#notes", "textarea", "Line one\n  Line two"),
            ("#country", "select", "Canada"),
            ("#para", "p", "Hello world"),
            ("h1", "h1", "Welcome back, Zoë"),
        ],
    )
    def test_reads_what_the_user_sees(self, read_page, selector, tag, expected):
        element = describe(read_page, selector, tag=tag)
        assert Actions(read_page).extract_text(element) == expected

    def test_reads_the_current_value_after_typing(self, read_page):
        read_page.fill("#amount", "  7 ")
        assert Actions(read_page).extract_text(describe(read_page, "#amount")) == "7"

    def test_falls_back_to_the_scanned_point(self, read_page):
        box = describe(read_page, "#target")["bounding_box"]
        element = {"tag": "div", "attributes": {"id": "removed"}, "bounding_box": box}
        assert Actions(read_page).extract_text(element) == "At the point"

    def test_nothing_is_read_from_a_missing_element(self, read_page):
        element = {"tag": "input", "bounding_box": {"x": -400, "y": -400, "width": 10, "height": 10}}
        with pytest.raises(RuntimeError):
            Actions(read_page).extract_text(element)


class TestFindText:
    @pytest.mark.parametrize(
        "text, found",
        [("WELCOME", True), ("back, zoë", True), ("BACK, ZOË", True), ("", True), ("Goodbye", False), ("Line one", False)],
    )
    def test_case_insensitive_in_body_text(self, read_page, text, found):
        assert Actions(read_page).find_text(text) is found


TRICKY_IDS = [
    "a b",
    "user.name",
    "1st",
    "-2x",
    "--x",
    "_x",
    "x:y",
    'q"uo\'te',
    "back\\slash",
    "a>>b",
    "a,b",
    "[x]",
    "naïve 日本",
    "😀",
    "tab\there",
    "del\x7f",
]


@pytest.fixture
def ids_page(open_page):
    page = open_page("actions/ids.html")
    page.set_default_timeout(2000)
    page.evaluate("ids => window.buildIds(ids)", TRICKY_IDS)
    return page


class TestIdEscaping:
    @pytest.mark.parametrize("index, element_id", list(enumerate(TRICKY_IDS)), ids=[repr(i) for i in TRICKY_IDS])
    def test_locator_matches_exactly_that_id(self, ids_page, index, element_id):
        locator = Actions(ids_page)._build_locator({"attributes": {"id": element_id}})
        assert locator.evaluate_all("els => els.map(e => e.id)") == [element_id]

    @pytest.mark.parametrize("element_id", ["a b", "user.name", "1st", "x:y"])
    def test_extract_text_reads_the_element_with_that_id(self, ids_page, element_id):
        # The scanned box points away from the element, so only the id can find it.
        element = {"tag": "div", "attributes": {"id": element_id}, "bounding_box": {"x": 5, "y": 5, "width": 1, "height": 1}}
        assert Actions(ids_page).extract_text(element) == f"right {TRICKY_IDS.index(element_id)}"

    def test_click_by_id_after_a_stale_xpath(self, ids_page):
        ids_page.evaluate("document.getElementById('user.name').onclick = () => window.clicked = true")
        element = {"xpath": "/html[1]/body[1]/div[99]", "attributes": {"id": "user.name"}}
        assert Actions(ids_page).click(element) == f"right {TRICKY_IDS.index('user.name')}"
        assert ids_page.evaluate("window.clicked") is True

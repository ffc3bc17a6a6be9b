"""Clicking, typing, hovering and keys on real Chromium, through each of the
three ways an element is reached again: its xpath, its stable attributes and
the centre of its scan-time box."""

import pytest
from playwright.sync_api import Error as PlaywrightError

from actions_helpers import describe, hits, on_page  # noqa: F401 (fixture)
from vantle.engine.browser.actions import Actions

pytestmark = pytest.mark.browser

STALE_XPATH = "/html[1]/body[1]/div[9]"


class TestLocators:
    @pytest.mark.parametrize(
        "element, expected",
        [
            ({"attributes": {"id": "save", "aria-label": "nope"}}, "save"),
            ({"attributes": {"aria-label": 'Close "dialog"'}}, 'Close "dialog"'),
            ({"tag": "a", "attributes": {"href": '/next?a="1"'}}, "Next page"),
            ({"tag": "button", "attributes": {"href": "/elsewhere", "name": "go"}}, "Go"),
            ({"tag": "button", "text": "  Plain text\nsecond line"}, "Plain text"),
        ],
        ids=["id-before-aria", "aria-with-quotes", "link-href", "href-only-on-links", "first-line-of-text"],
    )
    def test_locator_reaches_the_element(self, on_page, element, expected):
        page = on_page("click.html")
        locator = Actions(page)._build_locator(element)
        assert locator.count() >= 1
        assert expected in (locator.first.get_attribute("id"), locator.first.get_attribute("aria-label"), locator.first.inner_text().strip())

    def test_text_locator_is_the_first_match(self, on_page):
        page = on_page("click.html")
        page.evaluate("document.body.insertAdjacentHTML('beforeend', '<button>Go</button><button>Go</button>')")
        locator = Actions(page)._build_locator({"tag": "button", "text": "Go"})
        assert locator.count() == 1

    @pytest.mark.parametrize("element", [{}, {"tag": "button", "text": "  ", "attributes": {"href": "/x"}}, {"attributes": {"id": ""}}])
    def test_nothing_stable_gives_none(self, on_page, element):
        assert Actions(on_page("click.html"))._build_locator(element) is None

    @pytest.mark.parametrize(
        "box, centre",
        [(None, (0.0, 0.0)), ({}, (0.0, 0.0)), ({"x": 10, "y": 20, "width": 101, "height": 50}, (60.5, 45.0)), ({"x": 3.5, "width": 1}, (4.0, 0.0))],
    )
    def test_centre(self, page, box, centre):
        element = {} if box is None else {"bounding_box": box}
        assert Actions(page)._centre(element) == centre

    def test_handle_falls_back_to_the_point(self, on_page):
        page = on_page("read.html")
        box = describe(page, "#target")["bounding_box"]
        handle = Actions(page)._element_handle({"attributes": {"id": "gone"}, "bounding_box": box})
        assert handle.evaluate("el => el.id") == "target"

    def test_handle_is_none_where_there_is_nothing(self, on_page):
        page = on_page("read.html")
        assert Actions(page)._element_handle({"bounding_box": {"x": -500, "y": -500, "width": 10, "height": 10}}) is None


class TestClick:
    def test_through_the_xpath_returns_the_page_text(self, on_page):
        page = on_page("click.html")
        element = describe(page, "#save", text="what the scan saw")
        assert Actions(page).click(element) == "Save"
        assert hits(page) == ["save"]

    @pytest.mark.parametrize(
        "selector, attributes, hit, text",
        [
            ("#save", {"id": "save"}, "save", "Save"),
            ("a", {"href": '/next?a="1"'}, "link", "Next page"),
            ("text=Plain text", {}, "plain", "Plain text"),
        ],
        ids=["id", "href", "text"],
    )
    def test_stale_xpath_falls_back_to_attributes(self, on_page, selector, attributes, hit, text):
        page = on_page("click.html")
        element = describe(page, selector, xpath=STALE_XPATH, attributes=attributes, bounding_box={})
        assert Actions(page).click(element) == text
        assert hits(page) == [hit]

    @pytest.mark.parametrize(
        "element, returned",
        [
            ({"xpath": STALE_XPATH, "tag": "div", "text": ""}, ""),
            ({"xpath": STALE_XPATH, "tag": "span", "text": "Box"}, "Box"),
            ({"tag": "span", "text": "Box"}, "Box"),
        ],
        ids=["stale-xpath-nothing-stable", "stale-xpath-unmatched-text", "no-xpath"],
    )
    def test_only_the_centre_point_works(self, on_page, element, returned):
        page = on_page("click.html")
        element["bounding_box"] = describe(page, "#top-row > div")["bounding_box"]
        assert Actions(page).click(element) == returned
        assert hits(page) == ["box"]

    VEIL = ("document.body.insertAdjacentHTML('beforeend', '<div onclick=\"hit(\\'veil\\')\" "
            "style=\"position: fixed; inset: 0; z-index: 20; background: #0003\">Cookies?</div>')")

    def test_a_veil_over_the_element_is_never_pressed_in_its_place(self, on_page):
        page = on_page("click.html")
        element = describe(page, "#save")
        page.evaluate(self.VEIL)
        with pytest.raises(RuntimeError, match=r"the <div> 'Cookies\?' at x=\d+, y=\d+ would take the press"):
            Actions(page).click(element)
        assert hits(page) == []

    def test_a_part_that_lets_presses_through_is_pressed_through_its_holder(self, on_page):
        page = on_page("click.html")
        page.evaluate("document.getElementById('save').innerHTML = '<span id=\"inner\" style=\"pointer-events: none\">Save</span>'")
        assert Actions(page).click(describe(page, "#inner", attributes={})) == "Save"
        assert hits(page) == ["save"]

    def test_below_the_fold(self, on_page):
        page = on_page("click.html")
        element = describe(page, "#deep")
        assert element["bounding_box"]["y"] > 720
        assert Actions(page).click(element) == "Deep down"
        assert hits(page) == ["deep"]

    def test_under_the_fixed_header(self, on_page):
        page = on_page("click.html")
        page.evaluate("window.scrollTo(0, document.getElementById('deep').offsetTop - 40)")
        element = describe(page, "#deep")
        assert element["bounding_box"]["y"] < 80
        assert Actions(page).click(element) == "Deep down"
        assert hits(page) == ["deep"]


class TestTyping:
    @pytest.mark.parametrize(
        "selector, changes",
        [
            ("#name", {}),
            ("#name", {"xpath": STALE_XPATH}),
            ("#notes", {"xpath": STALE_XPATH, "attributes": {}, "tag": "textarea", "text": ""}),
        ],
        ids=["xpath", "id-after-stale-xpath", "centre-point"],
    )
    def test_replaces_existing_text(self, on_page, selector, changes):
        page = on_page("type.html")
        element = describe(page, selector, **changes)
        Actions(page).type_text(element, "Zoë 😀 new")
        assert page.locator(selector).input_value() == "Zoë 😀 new"

    @pytest.mark.parametrize(
        "selector, presses",
        [("#far", 1), ("#clipped", 0)],
        ids=["field-below-the-fold-is-clicked", "clipped-field-is-focused-without-a-press"],
    )
    def test_by_path_scrolls_to_the_centre_then_clicks_unless_the_field_took_the_focus(
            self, on_page, selector, presses):
        page = on_page("type.html")
        element = describe(page, selector)
        Actions(page).type_text(element, "typed")
        assert page.locator(selector).input_value() == "typed"
        assert page.evaluate("window.presses") == presses
        # Centred by the scroll script, not merely brought to the edge by the click.
        offset = page.locator(selector).evaluate(
            "el => { const r = el.getBoundingClientRect(); return r.top + r.height / 2 - innerHeight / 2; }")
        assert abs(offset) < 5

    def test_through_name(self, on_page):
        page = on_page("type.html")
        page.fill("[name=city]", "Paris")
        element = describe(page, "[name=city]", xpath=STALE_XPATH, bounding_box={})
        Actions(page).type_text(element, "Oslo")
        assert page.locator("[name=city]").input_value() == "Oslo"

    @pytest.mark.parametrize(
        "key, pressed",
        [
            ("ENTER", ["Enter"]),
            ("return", ["Enter"]),
            ("Esc", ["Escape"]),
            ("escape", ["Escape"]),
            ("space", [" "]),
            ("backspace", ["Backspace"]),
            ("Delete", ["Delete"]),
            ("UP", ["ArrowUp"]),
            ("down", ["ArrowDown"]),
            ("left", ["ArrowLeft"]),
            ("right", ["ArrowRight"]),
            ("home", ["Home"]),
            ("end", ["End"]),
            ("PageUp", ["PageUp"]),
            ("pagedown", ["PageDown"]),
            ("tab", ["Tab"]),
            ("ArrowDown", ["ArrowDown"]),
            ("Control+a", ["Control", "a"]),
            ("Shift+A", ["Shift", "A"]),
            ("x", ["x"]),
        ],
    )
    def test_press_key(self, on_page, key, pressed):
        page = on_page("type.html")
        page.focus("#keys")
        Actions(page).press_key(key)
        assert page.evaluate("window.keys") == pressed

    def test_unknown_key_reaches_the_caller(self, on_page):
        page = on_page("type.html")
        with pytest.raises(PlaywrightError, match="Unknown key"):
            Actions(page).press_key("NoSuchKey")

    def test_send_keys_types_into_the_focused_field(self, on_page):
        page = on_page("type.html")
        page.focus("#keys")
        Actions(page).send_keys("héllo 😀")
        assert page.locator("#keys").input_value() == "héllo 😀"

    def test_hover_moves_to_the_centre(self, on_page):
        page = on_page("type.html")
        Actions(page).hover(describe(page, "#hover-box"))
        assert page.evaluate("window.hovered") == 1

    @pytest.mark.parametrize("scroll", ["", "scrollTo(0, 600)"], ids=["below-the-fold", "scrolled-since-the-scan"])
    def test_hover_reaches_an_element_wherever_it_now_shows(self, on_page, scroll):
        page = on_page("type.html")
        page.evaluate("document.getElementById('hover-box').style.top = '1500px'")
        element = describe(page, "#hover-box")
        if scroll:
            page.evaluate(scroll)
        Actions(page).hover(element)
        assert page.evaluate("window.hovered") == 1

    def test_hover_under_a_veil_fails_rather_than_hovering_the_veil(self, on_page):
        page = on_page("type.html")
        page.evaluate("document.body.insertAdjacentHTML('beforeend', "
                      "'<div style=\"position: fixed; inset: 0; z-index: 9\">Loading</div>')")
        with pytest.raises(RuntimeError, match="Failed to hover element 'Hover me': the <div> 'Loading' at x=.* would take the hover"):
            Actions(page).hover(describe(page, "#hover-box"))
        assert page.evaluate("window.hovered") == 0


class TestFailures:
    @pytest.mark.parametrize("operation, verb", [("click", "click"), ("type_text", "type into")])
    @pytest.mark.parametrize(
        "element, label, locator_reason",
        [
            ({"text": "Save", "xpath": "/html/body/div"}, "'Save'", True),
            ({"text": "", "xpath": "/html/body/div"}, "'/html/body/div'", True),
            ({"text": "it's", "attributes": {"name": "n"}}, '"it\'s"', True),
            ({"bounding_box": {"x": 5, "y": 5, "width": 2, "height": 2}}, "None", False),
        ],
        ids=["text", "xpath", "quoted", "none"],
    )
    def test_message_when_every_attempt_fails(self, on_page, operation, verb, element, label, locator_reason):
        page = on_page("click.html")
        actions = Actions(page)
        page.close()
        args = (element,) if operation == "click" else (element, "x")
        with pytest.raises(RuntimeError) as info:
            getattr(actions, operation)(*args)
        message = str(info.value)
        cause = info.value.__cause__
        assert isinstance(cause, PlaywrightError)
        assert message.startswith(f"Failed to {verb} element {label}: ")
        reason = message[len(f"Failed to {verb} element {label}: "):]
        assert "Mouse.click" in str(cause)
        if locator_reason:
            assert reason.startswith("Locator.")
        else:
            assert reason == str(cause)

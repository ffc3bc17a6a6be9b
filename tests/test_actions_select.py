"""Option selection on real Chromium: native selects by visible label, custom
drop-downs through each kind of option selector, and the final failure."""

import pytest

from actions_helpers import describe, on_page  # noqa: F401 (fixture)
from vantle.engine.browser.actions import Actions

pytestmark = pytest.mark.browser


class TestNative:
    @pytest.mark.parametrize(
        "attributes, selector, label, value",
        [
            ({"id": "country"}, "#country", "Canada", "CA"),
            ({"name": "size"}, "[name=size]", "Medium", "m"),
            ({}, "select >> nth=0", "Large", "Large"),
            ({"id": "region.code"}, "[id='region.code']", "South", "South"),
        ],
        ids=["by-id", "by-name", "first-select", "dotted-id"],
    )
    def test_selects_by_visible_label(self, on_page, attributes, selector, label, value):
        page = on_page("select.html")
        element = {"tag": "select", "attributes": attributes}
        assert Actions(page).select_option(element, label) == label
        assert page.locator(selector).input_value() == value

    def test_dotted_id_leaves_the_lookalike_alone(self, on_page):
        page = on_page("select.html")
        Actions(page)._select_native({"attributes": {"id": "region.code"}}, "South")
        assert page.locator("#region").input_value() == "North"

    def test_returns_the_trimmed_label_shown(self, on_page):
        page = on_page("select.html")
        assert Actions(page)._select_native({"attributes": {"id": "country"}}, "Canada") == "Canada"

    def test_native_failure_is_not_retried_as_custom(self, on_page):
        page = on_page("select.html")
        with pytest.raises(RuntimeError, match="Failed to select 'Mexico': the drop-down offers 'United States', 'Canada'."):
            Actions(page).select_option({"tag": "select", "attributes": {"id": "country"}}, "Mexico")

    def test_a_drop_down_with_no_id_or_name_is_the_one_the_scan_saw(self, on_page):
        page = on_page("select.html")
        page.evaluate("document.body.insertAdjacentHTML('beforeend', '<select id=\"late\"><option>Small</option><option>Large</option></select>')")
        element = describe(page, "#late", attributes={})
        assert Actions(page).select_option(element, "Large") == "Large"
        assert page.locator("#late").input_value() == "Large"
        assert page.locator("select >> nth=0").input_value() == "Small"

    def test_a_name_with_quotes_selects_its_own_drop_down(self, on_page):
        page = on_page("select.html")
        page.evaluate("document.querySelector('[name=size]').name = \"it's \\\\ \\\"odd\\\"\"")
        name = page.evaluate("document.querySelectorAll('select')[2].name")
        assert Actions(page).select_option({"tag": "select", "attributes": {"name": name}}, "Medium") == "Medium"
        assert page.evaluate("document.querySelectorAll('select')[2].value") == "m"


class TestCustom:
    @pytest.mark.parametrize(
        "opener, tag, value",
        [
            ("#w-role", "div", "Alpha"),
            ("#w-divclass", "span", "Bravo"),
            ("#w-combo", "input", "Charlie"),
            ("#w-list", "ul", "Delta"),
            ("#w-data", "div", "Echo"),
        ],
        ids=["role-option", "div-option-class", "li-option-class", "any-li-after-native-fails", "data-value"],
    )
    def test_found_by_each_option_selector(self, on_page, opener, tag, value):
        page = on_page("custom.html")
        element = describe(page, opener, tag=tag)
        assert Actions(page).select_option(element, value) == value
        assert page.evaluate("window.chosen") == [value]

    def test_no_option_found(self, on_page):
        page = on_page("custom.html")
        element = describe(page, "#w-list", tag="ul")
        with pytest.raises(RuntimeError) as info:
            Actions(page).select_option(element, "Zulu's")
        assert str(info.value) == 'Could not find option "Zulu\'s" in dropdown after trying all selectors.'
        assert page.evaluate("window.chosen") == []

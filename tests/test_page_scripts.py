"""The in-page scripts are kept as .js files and built into the extension
modules: what runs in the page is exactly what the files say, and the one
element-path function gives the same paths whether it is called once per
element or shares its memory across a whole scan."""

import pathlib

import pytest

from vantle.engine.browser import actions, page_scanner

SCRIPTS = pathlib.Path(__file__).resolve().parent.parent / "core" / "src" / "browser" / "js"


def script(name):
    return (SCRIPTS / f"{name}.js").read_text(encoding="utf-8").rstrip()


@pytest.mark.parametrize(
    "constant, name",
    [
        (page_scanner._XPATH_JS, "element_path"),
        (page_scanner._TAG_JS, "tag_name"),
        (page_scanner._DATA_ATTRS_JS, "data_attributes"),
        (page_scanner._SIBLING_LABEL_JS, "sibling_label"),
        (page_scanner._PARENT_LABEL_JS, "parent_label"),
        (actions._SCROLL_JS, "scroll_into_view"),
        (actions._POINT_JS, "element_at_point"),
    ],
)
def test_built_in_scripts_are_the_files(constant, name):
    assert constant == script(name)


def test_short_scripts_keep_their_exact_text():
    # Nothing of the file's layout (trailing newline) leaks into the script.
    assert page_scanner._TAG_JS == "el => el.tagName.toLowerCase()"
    # Whether a text element has words of its own is asked of the one own-words function.
    assert page_scanner._DIRECT_TEXT_JS.startswith("el => (" + script("own_words") + ")(el, ")


def test_pointer_scan_uses_the_one_element_path():
    assert script("element_path") in page_scanner._POINTER_SCAN_JS
    assert "previousElementSibling" not in script("pointer_scan")


PATHS_PAGE = """
<div><span>a</span><p>b</p><span>c</span></div>
<ul>{items}</ul>
<section id="host"></section>
<script>
  const root = document.getElementById('host').attachShadow({{mode: 'open'}});
  root.innerHTML = '<i>x</i><b>y</b><i><em>z</em></i>';
</script>
"""


@pytest.mark.browser
def test_element_path_alone_and_shared_agree(page):
    page.set_content(PATHS_PAGE.format(items="<li>i</li><em>e</em>" * 40))
    alone = page.evaluate(
        f"""() => {{
        const path = {page_scanner._XPATH_JS};
        const all = [...document.querySelectorAll('*'), ...document.getElementById('host').shadowRoot.querySelectorAll('*')];
        return all.map(el => path(el));
    }}""")
    shared = page.evaluate(
        f"""() => {{
        const path = {page_scanner._XPATH_JS};
        const known = new Map();
        const all = [...document.querySelectorAll('*'), ...document.getElementById('host').shadowRoot.querySelectorAll('*')];
        return all.reverse().map(el => path(el, known)).reverse();
    }}""")
    assert alone == shared
    assert "/html[1]/body[1]/div[1]/span[2]" in alone
    assert "/html[1]/body[1]/ul[1]/li[40]" in alone
    assert "/html[1]/body[1]/ul[1]/em[40]" in alone
    # a shadow tree's paths start at its own top element
    assert alone[-4:] == ["/i[1]", "/b[1]", "/i[2]", "/i[2]/em[1]"]


@pytest.mark.browser
def test_element_path_on_a_handle_takes_no_second_argument(page):
    page.set_content("<p>one</p><p>two</p>")
    handle = page.query_selector_all("p")[1]
    assert handle.evaluate(page_scanner._XPATH_JS) == "/html[1]/body[1]/p[2]"

"""Element descriptors read from a live test page, the way a scan would record them,
and the fixture that opens the action test pages."""

import pytest

DESCRIBE_JS = """el => {
    const path = [];
    for (let node = el; node && node.nodeType === 1; node = node.parentElement) {
        let idx = 1;
        for (let s = node.previousElementSibling; s; s = s.previousElementSibling)
            if (s.tagName === node.tagName) idx++;
        path.unshift(node.tagName.toLowerCase() + '[' + idx + ']');
    }
    const attributes = {};
    for (const name of ['id', 'aria-label', 'href', 'name', 'role'])
        if (el.getAttribute(name) !== null) attributes[name] = el.getAttribute(name);
    const r = el.getBoundingClientRect();
    return {
        tag: el.tagName.toLowerCase(),
        text: (el.innerText || '').trim(),
        attributes,
        bounding_box: {x: r.x, y: r.y, width: r.width, height: r.height},
        is_visible: true,
        is_enabled: true,
        xpath: '/' + path.join('/'),
    };
}"""


def describe(page, selector, **changes):
    """The descriptor of the element `selector` matches, with some keys replaced
    (attributes given as `attributes=` replace the captured ones)."""
    element = page.locator(selector).evaluate(DESCRIBE_JS)
    element.update(changes)
    return element


def hits(page):
    return page.evaluate("window.hits")


@pytest.fixture
def on_page(open_page):
    """Opens a page of tests/pages/actions; a stale locator gives up after two seconds."""

    def _open(name):
        page = open_page(f"actions/{name}")
        page.set_default_timeout(2000)
        return page

    return _open

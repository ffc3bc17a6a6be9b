"""Shared test fixtures: one Chromium per test run, a fresh page per test, and
a loopback HTTP server over tests/pages."""

import functools
import http.server
import os
import shutil
import threading
from pathlib import Path

import pytest

PAGES = Path(__file__).parent / "pages"

CHROMIUM_ARGS = [
    "--no-sandbox",
    "--disable-gpu",
    "--disable-quic",
    "--no-first-run",
    "--disable-background-networking",
    "--disable-component-update",
    "--disable-sync",
]


def chromium_path():
    path = os.environ.get("VANTLE_BROWSER") or shutil.which("chromium") or "/usr/bin/chromium"
    if not Path(path).exists():
        pytest.skip("Chromium is not installed (apt-get install chromium)")
    return path


class _QuietHandler(http.server.SimpleHTTPRequestHandler):
    def log_message(self, *args):
        pass


def _serve_pages(host):
    handler = functools.partial(_QuietHandler, directory=str(PAGES))
    httpd = http.server.ThreadingHTTPServer((host, 0), handler)
    thread = threading.Thread(target=httpd.serve_forever, daemon=True)
    thread.start()
    yield f"http://{host}:{httpd.server_address[1]}"
    httpd.shutdown()
    httpd.server_close()


@pytest.fixture(scope="session")
def server():
    """Base address of a loopback HTTP server serving tests/pages."""
    yield from _serve_pages("127.0.0.1")


@pytest.fixture(scope="session")
def other_site():
    """A second loopback server over tests/pages, on another address and
    port: another site to `server`'s pages, so Chromium runs its frames in a
    process of their own."""
    yield from _serve_pages("127.0.0.2")


@pytest.fixture(scope="session")
def playwright_instance():
    from playwright.sync_api import sync_playwright

    with sync_playwright() as p:
        yield p


@pytest.fixture(scope="session")
def browser(playwright_instance):
    browser = playwright_instance.chromium.launch(executable_path=chromium_path(), args=CHROMIUM_ARGS)
    yield browser
    browser.close()


@pytest.fixture
def page(browser):
    context = browser.new_context(viewport={"width": 1280, "height": 720})
    page = context.new_page()
    page.set_default_timeout(10_000)
    yield page
    context.close()


@pytest.fixture
def open_page(page, server):
    """open_page("name.html") loads tests/pages/name.html from the loopback server."""

    def _open(name):
        page.goto(f"{server}/{name}")
        return page

    return _open


pytest_plugins = ["pytester"]

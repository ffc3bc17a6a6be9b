"""Support for the plug-in's tests: a stand-in for the run's browser, and a
Playwright browser folder that serves Debian's Chromium and ffmpeg."""

import json
import os
from pathlib import Path

# A conftest for plug-in tests whose agents are stand-ins: the run's browser
# becomes a stand-in too, so those runs start no Chromium.
FAKE_BROWSER_CONFTEST = """
import pytest

class FakeContext:
    pages = []
    closed = 0

    def close(self):
        self.closed += 1

class FakeSession:
    def __init__(self):
        self.contexts = []

    def new_context(self, **options):
        self.contexts.append((FakeContext(), options))
        return self.contexts[-1][0]

    def close(self):
        pass

@pytest.fixture(scope="session")
def vantle_browser():
    return FakeSession()
"""


def playwright_home(root):
    """A PLAYWRIGHT_BROWSERS_PATH folder where Playwright finds what `playwright
    install` would have put there (no download exists here): Debian's
    Chromium for its Chromium and headless shell, Debian's ffmpeg for videos."""
    import playwright

    spec = json.loads((Path(playwright.__file__).parent / "driver/package/browsers.json").read_text())
    revisions = {b["name"]: b["revision"] for b in spec["browsers"]}
    chromium = os.environ.get("VANTLE_BROWSER") or "/usr/bin/chromium"
    links = {
        f"chromium-{revisions['chromium']}/chrome-linux64/chrome": chromium,
        f"chromium_headless_shell-{revisions['chromium-headless-shell']}/chrome-headless-shell-linux64/"
        "chrome-headless-shell": chromium,
        f"ffmpeg-{revisions['ffmpeg']}/ffmpeg-linux": "/usr/bin/ffmpeg",
    }
    for link, target in links.items():
        (root / link).parent.mkdir(parents=True, exist_ok=True)
        (root / link).symlink_to(target)
    return root

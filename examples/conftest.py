"""Serves the demo shop (examples/site) on a loopback port for the example suite.

The port is picked when the run starts; vantle.web.config.py reads it from
VANTLE_DEMO_URL, which is set here before any test asks for the agent.
"""

import functools
import http.server
import os
import threading
from pathlib import Path

import pytest

SITE = Path(__file__).parent / "site"


class _QuietHandler(http.server.SimpleHTTPRequestHandler):
    def log_message(self, *args):
        pass


@pytest.fixture(scope="session", autouse=True)
def shop_url():
    """Base address of the demo shop, ending in a slash."""
    handler = functools.partial(_QuietHandler, directory=str(SITE))
    httpd = http.server.ThreadingHTTPServer(("127.0.0.1", 0), handler)
    thread = threading.Thread(target=httpd.serve_forever, daemon=True)
    thread.start()
    url = f"http://127.0.0.1:{httpd.server_address[1]}/"
    os.environ["VANTLE_DEMO_URL"] = url
    yield url
    httpd.shutdown()
    httpd.server_close()


@pytest.fixture
def logged_in(agent):
    """The agent, signed in with the standard account, on the product list."""
    agent.run("type standard_user into the Username field")
    agent.run('type secret_sauce into "Password"')
    agent.run('click "Log in"')
    agent.run('verify text "Welcome back" is present')
    return agent

"""Several browser servers: the README's recipe run for real, with two
`playwright run-server` processes on loopback and four pytest-xdist workers.
A counting relay in front of each server shows which worker connected where."""

import os
import shlex
import signal
import socket
import subprocess
import sys
import threading
import time
from pathlib import Path

import pytest

from harness_support import playwright_home
from test_readme import readme_blocks

pytestmark = pytest.mark.browser
pytest.importorskip("xdist")

BIN = Path(sys.executable).parent

TESTS = """
import pytest

@pytest.mark.parametrize("n", range(8))
def test_page(agent, n):
    agent.page.set_content(f"<p>Page {n}</p>")
    agent.run(f'verify text "Page {n}" is present')
"""


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


class Relay:
    """A TCP relay that counts the connections made through it."""

    def __init__(self, upstream_port):
        self.upstream = upstream_port
        self.connections = 0
        self.listener = socket.create_server(("127.0.0.1", 0))
        self.port = self.listener.getsockname()[1]
        threading.Thread(target=self._accept, daemon=True).start()

    def _accept(self):
        while True:
            try:
                client, _ = self.listener.accept()
            except OSError:
                return
            self.connections += 1
            upstream = socket.create_connection(("127.0.0.1", self.upstream))
            for a, b in ((client, upstream), (upstream, client)):
                threading.Thread(target=self._pump, args=(a, b), daemon=True).start()

    @staticmethod
    def _pump(source, sink):
        try:
            while data := source.recv(65536):
                sink.sendall(data)
        except OSError:
            pass
        finally:
            for s in (source, sink):
                try:
                    s.shutdown(socket.SHUT_RDWR)
                except OSError:
                    pass

    def close(self):
        self.listener.close()


@pytest.fixture
def browsers_folder(tmp_path):
    """Where a browser machine's `playwright install` would have put Chromium."""
    return playwright_home(tmp_path / "ms-playwright")


def wait_for_port(port, process):
    deadline = time.monotonic() + 60
    while time.monotonic() < deadline:
        assert process.poll() is None, "the browser server stopped"
        try:
            socket.create_connection(("127.0.0.1", port), timeout=1).close()
            return
        except OSError:
            time.sleep(0.2)
    raise TimeoutError(f"no browser server on port {port}")


def test_each_worker_takes_its_own_server_round_robin(pytester, browsers_folder, monkeypatch):
    recipe = [shlex.split(line) for line in readme_blocks("servers")[0].splitlines() if not line.startswith("#")]
    server_command, test_command = recipe
    assert server_command[:2] == ["playwright", "run-server"] and test_command[-3:] == ["pytest", "-n", "4"]
    servers, relays = [], []
    env = dict(os.environ, PLAYWRIGHT_BROWSERS_PATH=str(browsers_folder))
    try:
        for _ in range(2):
            port = free_port()
            args = [a.replace("3000", str(port)).replace("0.0.0.0", "127.0.0.1") for a in server_command[1:]]
            # Its own process group: the `playwright` command runs the server as a
            # child that outlives it when only the command is stopped.
            servers.append(subprocess.Popen([str(BIN / "playwright"), *args], env=env, start_new_session=True))
            wait_for_port(port, servers[-1])
            relays.append(Relay(port))
        variable, endpoints = test_command[0].split("=", 1)
        for host, relay in zip(("browsers-1:3000", "browsers-2:3000"), relays):
            endpoints = endpoints.replace(host, f"127.0.0.1:{relay.port}")
        pytester.makepyfile(test_pages=TESTS)
        monkeypatch.setenv(variable, endpoints)
        monkeypatch.setenv("VANTLE_BROWSER", "/nonexistent/chromium")  # never launched here
        result = pytester.runpytest_subprocess("-n", "4", "-p", "no:hypothesispytest", timeout=300)
        result.assert_outcomes(passed=8)
        # Four workers, round-robin over two servers: two connections each, one per worker.
        assert [r.connections for r in relays] == [2, 2]
    finally:
        for relay in relays:
            relay.close()
        for server in servers:
            try:
                os.killpg(server.pid, signal.SIGTERM)
            except ProcessLookupError:
                pass  # the whole group has ended already
            server.wait(timeout=30)


def test_an_unreachable_server_is_named(pytester, monkeypatch):
    port = free_port()
    pytester.makepyfile("def test_page(agent):\n    pass\n")
    monkeypatch.setenv("VANTLE_BROWSER_WS_ENDPOINT", f"ws://127.0.0.1:{port}/")
    result = pytester.runpytest_subprocess("-p", "no:hypothesispytest", timeout=120)
    result.assert_outcomes(errors=1)
    result.stdout.fnmatch_lines([f"*Cannot reach the browser server ws://127.0.0.1:{port}/*"])

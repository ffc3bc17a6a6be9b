"""Python faces of the compiled harness plug-ins.

pytest finds hook implementations and fixtures by their Python signatures,
which compiled functions lack. The compiled modules ``fixtures`` and
``reporter`` build their hooks here, each handing over at once to the
compiled routine it is given.
"""

import pytest


def plugin_hooks(addoption, configure, agent_setup, agent_teardown):
    """The plug-in's hooks and its ``agent`` fixture."""

    def pytest_addoption(parser):
        addoption(parser)

    def pytest_configure(config):
        configure(config)

    @pytest.fixture
    def agent(request):
        """A fresh WebAgent for the test; closed after it, its steps filed for the report."""
        web_agent = agent_setup(request)
        yield web_agent
        agent_teardown(request, web_agent)

    hooks = {"pytest_addoption": pytest_addoption, "pytest_configure": pytest_configure, "agent": agent}
    for name, fn in hooks.items():
        fn.__qualname__ = name
    return hooks


def reporter_class(base, logreport, sessionfinish):
    """``base`` with the report hooks pytest calls on it."""

    class VantleReporter(base):
        __doc__ = base.__doc__

        # First, so that a worker attaches the test's steps before
        # pytest-xdist sends the report to the controller.
        @pytest.hookimpl(tryfirst=True)
        def pytest_runtest_logreport(self, report):
            logreport(self, report)

        def pytest_sessionfinish(self, session, exitstatus):
            sessionfinish(self, session, exitstatus)

    VantleReporter.__module__ = base.__module__
    VantleReporter.__qualname__ = "VantleReporter"
    return VantleReporter

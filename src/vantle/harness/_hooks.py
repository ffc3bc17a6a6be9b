"""Python faces of the compiled harness plug-ins.

pytest finds hook implementations and fixtures by their Python signatures,
which compiled functions lack. The compiled modules ``fixtures`` and
``reporter`` build their hooks here, each handing over at once to the
compiled routine it is given.
"""

import pytest


def plugin_hooks(addoption, configure, record_outcome, session_start, session_end, agent_setup, agent_teardown):
    """The plug-in's hooks, its session browser and its ``agent`` fixture."""

    def pytest_addoption(parser):
        addoption(parser)

    def pytest_configure(config):
        configure(config)

    @pytest.hookimpl(hookwrapper=True)
    def pytest_runtest_makereport(item, call):
        outcome = yield
        record_outcome(item, outcome.get_result())

    @pytest.fixture(scope="session")
    def vantle_browser(request):
        """The run's browser (one per pytest-xdist worker), launched when a test first needs it."""
        session = session_start(request)
        yield session
        session_end(session)

    @pytest.fixture
    def agent(request, vantle_browser):
        """A WebAgent on a fresh browser context; closed after the test, its steps filed for the report."""
        web_agent = agent_setup(request, vantle_browser)
        yield web_agent
        agent_teardown(request, web_agent)

    hooks = {
        "pytest_addoption": pytest_addoption,
        "pytest_configure": pytest_configure,
        "pytest_runtest_makereport": pytest_runtest_makereport,
        "vantle_browser": vantle_browser,
        "agent": agent,
    }
    for name, fn in hooks.items():
        fn.__qualname__ = name
    return hooks


def reporter_class(impl):
    """The report plug-in class over the compiled routines of module ``impl``."""

    class VantleReporter:
        __doc__ = (
            "Collects one result record per test from pytest's phase reports and "
            "writes the self-contained HTML report at the end of the run."
        )

        def __init__(self, report_path, config):
            impl._init(self, report_path, config)

        # First, so that a worker attaches the test's steps before
        # pytest-xdist sends the report to the controller.
        @pytest.hookimpl(tryfirst=True)
        def pytest_runtest_logreport(self, report):
            impl._record(self, report)

        def pytest_sessionfinish(self, session, exitstatus):
            impl._write(self, session, exitstatus)

        def _extract_message(self, report):
            return impl._message(self, report)

        def _render(self):
            return impl._html(self)

    VantleReporter.__module__ = impl.__name__
    VantleReporter.__qualname__ = "VantleReporter"
    return VantleReporter

"""pytest collects plain-English test files named ``test_*.steps``.

pytest needs real Python collector and item classes, and reads the fixtures a
test wants from a Python signature; each piece hands over at once to
``vantle._steps``.
"""

import pytest

from vantle import _steps


@pytest.hookimpl(trylast=True)
def pytest_configure(config):
    _steps.configure(config)


def pytest_unconfigure(config):
    _steps.unconfigure(config)


def pytest_collect_file(file_path, parent):
    if file_path.suffix == ".steps" and file_path.name.startswith("test_"):
        return StepsFile.from_parent(parent, path=file_path)
    return None


class StepsFile(pytest.File):
    """One instruction file: one test, or one per ``## <test name>`` line."""

    def collect(self):
        shown_as = self.nodeid.split("::")[0]
        for test in _steps.read_tests(str(self.path), shown_as, self.path.stem):
            yield StepsItem.from_parent(self, name=test["name"], callobj=_runner(test, shown_as), test=test)


def _runner(test, shown_as):
    # A file with issues asks for no agent, so no browser starts for it.
    if test["issues"]:
        def run_steps():
            _steps.run_steps(None, test, shown_as)
    else:
        def run_steps(agent):
            _steps.run_steps(agent, test, shown_as)
    return run_steps


class StepsItem(pytest.Function):
    """One plain-English test, run by the ``agent`` fixture's agent."""

    def __init__(self, *, test, **kwargs):
        super().__init__(**kwargs)
        self.test = test

    def repr_failure(self, excinfo):
        if isinstance(excinfo.value, _steps.StepsFailed):
            return str(excinfo.value)
        return super().repr_failure(excinfo)

    def reportinfo(self):
        return self.path, self.test["line"] - 1, self.name

// vantle._steps: plain-English test files (test_*.steps) as pytest tests.
// The collector and item classes live in vantle.harness.steps_plugin; they
// hand over to these routines at once. The agent is the harness's `agent`
// fixture, so it is made, closed and has its steps filed like any other.

#include <nanobind/nanobind.h>
#include <nanobind/stl/string.h>

#include <stdexcept>

#include "common/convert.h"
#include "vantle/harness/steps_file.h"
#include "vantle/text/text.h"

namespace nb = nanobind;
using namespace nb::literals;
using namespace vantle;

namespace {

/// A steps test failed: what() names FILE:LINE and the reason.
class StepsFailure : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

nb::dict test_record(const harness::StepsTest& test, const std::string& issues) {
  nb::list steps;
  for (const auto& step : test.steps) steps.append(nb::make_tuple(step.line, py::to_str(step.text)));
  nb::dict out;
  out["name"] = py::to_str(test.name);
  out["line"] = test.line;
  out["steps"] = steps;
  out["issues"] = py::to_str(issues);
  return out;
}

// Every test of a file with issues carries all of them: the file fails as a whole.
nb::list read_tests(nb::handle path, const std::string& shown_as, nb::handle default_name) {
  harness::StepsFile file = harness::read_steps(py::read_file(path), py::u32(default_name));
  std::string issues = harness::issue_report(file, shown_as);
  nb::list tests;
  for (const auto& test : file.tests) tests.append(test_record(test, issues));
  return tests;
}

// A file with issues fails every one of its tests here, before any agent exists.
void run_steps(nb::handle agent, nb::handle test, const std::string& shown_as) {
  std::string issues = py::utf8(test["issues"]);
  if (!issues.empty()) throw StepsFailure(issues);
  nb::object step_failed = nb::module_::import_("vantle").attr("StepFailed");
  for (nb::handle step : test["steps"]) {
    int line = nb::cast<int>(step[0]);
    try {
      agent.attr("run")(step[1]);
    } catch (nb::python_error& error) {
      if (!error.matches(step_failed)) throw;
      std::string message = py::utf8(nb::str(error.value()));
      throw StepsFailure(harness::step_failure(shown_as, line, message));
    }
  }
}

// Agents leave the page snapshot of a failed step next to the report; they
// learn where it is from VANTLE_REPORT_DIR, set for the run and restored after.
constexpr const char* REPORT_DIR_VARIABLE = "VANTLE_REPORT_DIR";

void configure(nb::handle config) {
  nb::object reporter = config.attr("pluginmanager").attr("get_plugin")("vantle_reporter");
  if (reporter.is_none() || !nb::hasattr(reporter, "report_path")) return;
  nb::module_ os = nb::module_::import_("os");
  nb::object environ = os.attr("environ");
  nb::setattr(config, "_vantle_report_dir_before", environ.attr("get")(REPORT_DIR_VARIABLE));
  nb::object path = os.attr("path");
  environ[REPORT_DIR_VARIABLE] = path.attr("dirname")(path.attr("abspath")(reporter.attr("report_path")));
}

void unconfigure(nb::handle config) {
  if (!nb::hasattr(config, "_vantle_report_dir_before")) return;
  nb::object before = config.attr("_vantle_report_dir_before");
  nb::object environ = nb::module_::import_("os").attr("environ");
  if (before.is_none()) environ.attr("pop")(REPORT_DIR_VARIABLE, nb::none());
  else environ[REPORT_DIR_VARIABLE] = before;
}

}  // namespace

NB_MODULE(_steps, m) {
  m.doc() = "Plain-English test files (test_*.steps) as pytest tests.";
  nb::exception<StepsFailure>(m, "StepsFailed", PyExc_AssertionError);
  m.def("read_tests", &read_tests, "path"_a, "shown_as"_a, "default_name"_a,
        "The tests of a steps file: dicts with name, line, steps ((line, instruction) pairs) and issues "
        "(every validation issue of the file as 'FILE:LINE: issue' lines, empty when clean).");
  m.def("run_steps", &run_steps, "agent"_a.none(), "test"_a, "shown_as"_a,
        "Run one test of a steps file on `agent`, in order. Raises StepsFailed with 'FILE:LINE: message' at "
        "the first failing step, or with the file's issues when it has any (then `agent` is not used).");
  m.def("configure", &configure, "config"_a,
        "Point VANTLE_REPORT_DIR at the report's directory for the run, where agents leave the page "
        "snapshot of a failed step.");
  m.def("unconfigure", &unconfigure, "config"_a, "Restore VANTLE_REPORT_DIR as it was before the run.");
}

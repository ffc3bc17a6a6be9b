// The HTML report plug-in: records each test's outcome from pytest's phase
// reports and writes one self-contained report when the run ends.

#include "common/convert.h"
#include "vantle/report/render.h"
#include "vantle/report/results.h"
#include "vantle/text/text.h"

#include <nanobind/stl/string.h>

#include <chrono>

namespace nb = nanobind;
using namespace vantle;
using py::Json;

namespace {

// Report attribute that carries a test's steps from a worker process to the
// controller (pytest-xdist serialises every attribute of a test report).
constexpr const char* CARRIED_STEPS = "vantle_steps";

// The reporter's state lives in plain attributes of the Python object:
// report_path, config, results, start_time, and the steps that arrived with
// reports from worker processes.
constexpr const char* CARRIED_STORE = "_carried_steps";

// The same for what the agent fixture kept of a test (its screenshot, trace
// and video): filed on the configuration object, carried the same way.
constexpr const char* KEPT = "_vantle_kept";
constexpr const char* CARRIED_KEPT = "vantle_kept";
constexpr const char* CARRIED_KEPT_STORE = "_carried_kept";

double now() {
  using namespace std::chrono;
  return duration<double>(system_clock::now().time_since_epoch()).count();
}

bool on_worker(nb::handle config) { return nb::hasattr(config, "workerinput"); }

bool truthy(nb::handle report, const char* name) {
  return nb::hasattr(report, name) && PyObject_IsTrue(nb::getattr(report, name).ptr()) == 1;
}

std::string text(nb::handle obj) { return py::utf8(nb::str(obj)); }

double duration_of(nb::handle report) {
  nb::object d = nb::getattr(report, "duration", nb::none());
  if (!PyFloat_Check(d.ptr()) && !PyLong_Check(d.ptr())) return 0.0;
  return nb::cast<double>(d);
}

std::string extract_message(nb::handle, nb::handle report) {
  nb::object longrepr = nb::getattr(report, "longrepr", nb::none());
  if (longrepr.is_none()) return "";
  nb::object crash = nb::getattr(longrepr, "reprcrash", nb::none());
  if (!crash.is_none()) return text(crash.attr("message"));
  return report::last_line(text(longrepr));
}

std::string skip_text(nb::handle report) {
  nb::object longrepr = nb::getattr(report, "longrepr", nb::none());
  if (longrepr.is_none()) return "";
  return text(longrepr);
}

// A skip's longrepr is a (file, line, message) triple; anything else is
// taken whole.
std::string skip_reason(nb::handle report) {
  nb::object longrepr = nb::getattr(report, "longrepr", nb::none());
  if (nb::isinstance<nb::tuple>(longrepr) && nb::len(longrepr) == 3) return report::skip_reason(text(longrepr[2]));
  return longrepr.is_none() ? "" : report::skip_reason(text(longrepr));
}

// The innermost traceback entry in the test's own file: the line of the
// test that was running when it failed, with its source line.
std::string test_line(nb::handle report, nb::handle longrepr) {
  nb::object location = nb::getattr(report, "location", nb::none());
  nb::object traceback = nb::getattr(longrepr, "reprtraceback", nb::none());
  nb::object entries = traceback.is_none() ? nb::none() : nb::getattr(traceback, "reprentries", nb::none());
  if (!nb::isinstance<nb::tuple>(location) || entries.is_none()) return "";
  std::string file = text(location[0]), found;
  for (nb::handle entry : entries) {
    nb::object where = nb::getattr(entry, "reprfileloc", nb::none());
    if (where.is_none() || text(where.attr("path")) != file) continue;
    std::string source;
    for (nb::handle line : nb::getattr(entry, "lines", nb::list())) {
      std::string l = text(line);
      if (l.rfind(">", 0) == 0) source = text::strip(std::string_view(l).substr(1));
    }
    found = file + ":" + text(where.attr("lineno")) + (source.empty() ? "" : ": " + source);
  }
  return found;
}

report::FailureDetail failure_detail(nb::handle report) {
  nb::object longrepr = nb::getattr(report, "longrepr", nb::none());
  if (longrepr.is_none()) return {};
  return {test_line(report, longrepr), text::strip(text(longrepr))};
}

Json steps_json(nb::handle steps) {
  Json out = Json::array();
  if (steps.is_none()) return out;
  for (nb::handle step : steps) out.push_back(py::to_json(step));
  return out;
}

// What a worker filed for a test on its configuration object travels to the
// controller on the test's teardown report (pytest-xdist serialises every
// attribute of a report). One such channel: where the worker filed it, the
// report attribute that carries it, and the controller's store.
struct Channel {
  const char* filed;
  const char* carried;
  const char* arrived;
};
const Channel STEPS{"_vantle_steps", CARRIED_STEPS, CARRIED_STORE};
const Channel KEPT_THINGS{KEPT, CARRIED_KEPT, CARRIED_KEPT_STORE};

// On a worker, hand the test's entry to its teardown report; on the
// controller, keep the entries that arrived that way.
template <typename Lean>
void carry(nb::handle self, nb::handle report, const std::string& when, const std::string& nodeid,
           const Channel& channel, Lean lean) {
  nb::object arrived = nb::getattr(report, channel.carried, nb::none());
  if (!arrived.is_none()) {
    self.attr(channel.arrived)[nb::str(nodeid.c_str())] = arrived;
    return;
  }
  nb::object config = self.attr("config");
  if (when != "teardown" || !on_worker(config)) return;
  nb::object store = nb::getattr(config, channel.filed, nb::none());
  if (store.is_none() || !nb::cast<bool>(store.attr("__contains__")(nodeid))) return;
  nb::setattr(report, channel.carried, lean(store[nodeid.c_str()]));
}

void carry_all(nb::handle self, nb::handle report, const std::string& when, const std::string& nodeid) {
  carry(self, report, when, nodeid, STEPS,
        [](nb::handle steps) { return py::from_json(report::lean_steps(steps_json(steps))); });
  carry(self, report, when, nodeid, KEPT_THINGS, [](nb::handle kept) { return nb::borrow(kept); });
}

void logreport(nb::handle self, nb::handle report) {
  std::string when = text(nb::getattr(report, "when", nb::str("")));
  std::string nodeid = text(report.attr("nodeid"));
  carry_all(self, report, when, nodeid);
  bool passed = truthy(report, "passed");
  if (!report::records_phase(when, passed)) return;
  bool failed = truthy(report, "failed");
  bool expected_to_fail = nb::hasattr(report, "wasxfail");
  std::string status = report::phase_status(passed, failed, expected_to_fail);
  std::string message = passed ? "" : failed ? extract_message(self, report) : skip_text(report);
  Json record = report::result_record(nodeid, status, duration_of(report), message, when);
  std::string reason = expected_to_fail ? report::skip_reason(text(report.attr("wasxfail")))
                       : status == "skipped" ? skip_reason(report) : "";
  report::add_details(record, reason, failed ? failure_detail(report) : report::FailureDetail{});
  self.attr("results").attr("append")(py::from_json(record));
}

// The steps store filed on this process wins over steps carried by reports.
Json steps_store(nb::handle self) {
  Json store = Json::object();
  nb::object carried = nb::getattr(self, CARRIED_STORE, nb::none());
  if (!carried.is_none())
    for (nb::handle item : carried.attr("items")()) store[text(item[0])] = steps_json(item[1]);
  nb::object local = nb::getattr(self.attr("config"), "_vantle_steps", nb::none());
  if (local.is_none()) return store;
  for (nb::handle item : local.attr("items")()) {
    nb::handle key = item[0], steps = item[1];
    store[PyUnicode_Check(key.ptr()) ? py::utf8(key) : text(key)] = steps_json(steps);
  }
  return store;
}

// The records with what was kept of each test (carried or filed here).
Json results_with_kept(nb::handle self) {
  Json results = py::to_json(self.attr("results"));
  Json kept = Json::object();
  for (nb::handle store : {nb::getattr(self, CARRIED_KEPT_STORE, nb::none()),
                           nb::getattr(self.attr("config"), KEPT, nb::none())})
    if (!store.is_none())
      for (nb::handle item : store.attr("items")()) kept[text(item[0])] = py::to_json(item[1]);
  for (auto& record : results) {
    auto found = kept.find(record.value("nodeid", ""));
    if (found != kept.end() && found->is_object()) record.update(*found);
  }
  return results;
}

std::string render_html(nb::handle self) {
  double elapsed = now() - nb::cast<double>(self.attr("start_time"));
  return report::render(results_with_kept(self), steps_store(self), elapsed);
}

nb::str render(nb::handle self) { return py::to_str(render_html(self)); }

void init(nb::handle self, nb::handle report_path, nb::handle config) {
  self.attr("report_path") = nb::module_::import_("os").attr("fspath")(report_path);
  self.attr("config") = config;
  self.attr("results") = nb::list();
  self.attr("start_time") = now();
  self.attr(CARRIED_STORE) = nb::dict();
  self.attr(CARRIED_KEPT_STORE) = nb::dict();
}

void sessionfinish(nb::handle self, nb::handle, nb::handle) {
  // Workers only pass their steps on: the controller writes the one report.
  if (on_worker(self.attr("config"))) return;
  nb::module_ os = nb::module_::import_("os");
  nb::object path = self.attr("report_path");
  nb::object dir = os.attr("path").attr("dirname")(path);
  os.attr("makedirs")(nb::len(dir) ? dir : nb::str("."), nb::arg("exist_ok") = true);
  std::string html = render_html(self);
  nb::object file = nb::module_::import_("builtins").attr("open")(path, "wb");
  try {
    file.attr("write")(nb::bytes(html.data(), html.size()));
  } catch (...) {
    file.attr("close")();
    throw;
  }
  file.attr("close")();
}

}  // namespace

NB_MODULE(reporter, m) {
  m.doc() = "The HTML test report: a pytest plug-in that writes one self-contained report per run.";
  m.def("_init", &init, nb::arg("self"), nb::arg("report_path"), nb::arg("config").none(),
        "Sets report_path, config, an empty results list and start_time (now).");
  m.def("_record", &logreport, nb::arg("self"), nb::arg("report"),
        "Records a call phase, or a set-up that did not pass, as a result record.");
  m.def("_write", &sessionfinish, nb::arg("self"), nb::arg("session").none(), nb::arg("exitstatus").none(),
        "Writes the report file (not on a pytest-xdist worker).");
  m.def("_message", &extract_message, nb::arg("self"), nb::arg("report"),
        "The one-line failure text of a phase report.");
  m.def("_html", &render, nb::arg("self"), "The whole HTML report as text.");

  // pytest sees hook methods only on a Python class: VantleReporter's
  // methods hand over at once to the routines above.
  m.attr("VantleReporter") = nb::module_::import_("vantle.harness._hooks").attr("reporter_class")(m);
}

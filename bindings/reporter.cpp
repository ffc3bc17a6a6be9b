// The HTML report plug-in: records each test's outcome from pytest's phase
// reports and writes one self-contained report when the run ends.

#include "common/convert.h"
#include "vantle/report/render.h"
#include "vantle/report/results.h"

#include <nanobind/stl/string.h>

#include <chrono>

namespace nb = nanobind;
using namespace vantle;
using py::Json;

namespace {

// Report attribute that carries a test's steps from a worker process to the
// controller (pytest-xdist serialises every attribute of a test report).
constexpr const char* CARRIED_STEPS = "vantle_steps";

double now() {
  using namespace std::chrono;
  return duration<double>(system_clock::now().time_since_epoch()).count();
}

struct VantleReporter {
  std::string report_path;
  nb::object config;
  nb::list results;
  double start_time = now();
  nb::dict carried;  // node id -> steps that arrived with a report
};

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

std::string extract_message(VantleReporter&, nb::handle report) {
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

Json steps_json(nb::handle steps) {
  Json out = Json::array();
  if (steps.is_none()) return out;
  for (nb::handle step : steps) out.push_back(py::to_json(step));
  return out;
}

// On a worker, hand the test's steps to its teardown report; on the
// controller, keep the steps that arrived that way.
void carry_steps(VantleReporter& self, nb::handle report, const std::string& when, const std::string& nodeid) {
  nb::object arrived = nb::getattr(report, CARRIED_STEPS, nb::none());
  if (!arrived.is_none()) {
    self.carried[nb::str(nodeid.c_str())] = arrived;
    return;
  }
  if (when != "teardown" || !on_worker(self.config)) return;
  nb::object store = nb::getattr(self.config, "_vantle_steps", nb::none());
  if (store.is_none() || !nb::cast<bool>(store.attr("__contains__")(nodeid))) return;
  nb::setattr(report, CARRIED_STEPS, py::from_json(report::lean_steps(steps_json(store[nodeid.c_str()]))));
}

void logreport(VantleReporter& self, nb::handle report) {
  std::string when = text(nb::getattr(report, "when", nb::str("")));
  std::string nodeid = text(report.attr("nodeid"));
  carry_steps(self, report, when, nodeid);
  bool passed = truthy(report, "passed");
  if (!report::records_phase(when, passed)) return;
  bool failed = truthy(report, "failed");
  std::string status = report::phase_status(passed, failed);
  std::string message = passed ? "" : failed ? extract_message(self, report) : skip_text(report);
  self.results.append(py::from_json(report::result_record(nodeid, status, duration_of(report), message, when)));
}

// The steps store filed on this process wins over steps carried by reports.
Json steps_store(VantleReporter& self) {
  Json store = Json::object();
  for (auto [nodeid, steps] : self.carried) store[py::utf8(nodeid)] = steps_json(steps);
  nb::object local = nb::getattr(self.config, "_vantle_steps", nb::none());
  if (local.is_none()) return store;
  for (nb::handle item : local.attr("items")()) {
    nb::handle key = item[0], steps = item[1];
    store[PyUnicode_Check(key.ptr()) ? py::utf8(key) : text(key)] = steps_json(steps);
  }
  return store;
}

nb::str render(VantleReporter& self) {
  return py::to_str(report::render(py::to_json(self.results), steps_store(self), now() - self.start_time));
}

void sessionfinish(VantleReporter& self, nb::handle, nb::handle) {
  // Workers only pass their steps on: the controller writes the one report.
  if (on_worker(self.config)) return;
  nb::module_ os = nb::module_::import_("os");
  nb::object dir = os.attr("path").attr("dirname")(self.report_path);
  os.attr("makedirs")(nb::len(dir) ? dir : nb::str("."), nb::arg("exist_ok") = true);
  std::string html = report::render(py::to_json(self.results), steps_store(self), now() - self.start_time);
  nb::object file = nb::module_::import_("builtins").attr("open")(self.report_path, "wb");
  try {
    file.attr("write")(nb::bytes(html.data(), html.size()));
  } catch (...) {
    file.attr("close")();
    throw;
  }
  file.attr("close")();
}

// The reporter and the configuration hold each other (through the plug-in
// manager): the collector must see the reporter's references to free them.
int traverse(PyObject* self, visitproc visit, void* arg) {
  Py_VISIT(Py_TYPE(self));
  if (!nb::inst_ready(self)) return 0;
  VantleReporter* r = nb::inst_ptr<VantleReporter>(self);
  Py_VISIT(r->config.ptr());
  Py_VISIT(r->results.ptr());
  Py_VISIT(r->carried.ptr());
  return 0;
}

int clear(PyObject* self) {
  VantleReporter* r = nb::inst_ptr<VantleReporter>(self);
  r->config = nb::none();
  r->results = nb::list();
  r->carried = nb::dict();
  return 0;
}

PyType_Slot gc_slots[] = {{Py_tp_traverse, (void*)traverse}, {Py_tp_clear, (void*)clear}, {0, nullptr}};

}  // namespace

NB_MODULE(reporter, m) {
  m.doc() = "The HTML test report: a pytest plug-in that writes one self-contained report per run.";
  nb::class_<VantleReporter> cls(m, "_VantleReporter", nb::type_slots(gc_slots),
                                 "Collects one result record per test from pytest's phase reports and writes "
                                 "the HTML report at the end of the run.");
  cls.def(
          "__init__",
          [](VantleReporter* self, nb::handle report_path, nb::object config) {
            nb::object path = nb::module_::import_("os").attr("fspath")(report_path);
            new (self) VantleReporter{py::utf8(path), std::move(config), nb::list(), now(), nb::dict()};
          },
          nb::arg("report_path"), nb::arg("config").none(),
          "Reporter writing to `report_path`, reading the steps store from `config`.")
      .def_rw("report_path", &VantleReporter::report_path, "Path of the HTML file to write.")
      .def_rw("config", &VantleReporter::config, "The runner's configuration object.")
      .def_rw("results", &VantleReporter::results, "Result records, one per recorded test phase.")
      .def_rw("start_time", &VantleReporter::start_time, "Seconds since the epoch when the reporter was made.")
      .def("_extract_message", &extract_message, nb::arg("report"),
           "The one-line failure text of a phase report.")
      .def("_render", &render, "The whole HTML report as text.");

  // pytest sees hook methods only on a Python class: the public class is a
  // subclass whose two hooks hand over to these routines.
  nb::object logreport_fn = nb::cpp_function(&logreport, nb::arg("self"), nb::arg("report"));
  nb::object finish_fn =
      nb::cpp_function(&sessionfinish, nb::arg("self"), nb::arg("session").none(), nb::arg("exitstatus").none());
  m.attr("VantleReporter") =
      nb::module_::import_("vantle.harness._hooks").attr("reporter_class")(cls, logreport_fn, finish_fn);
}

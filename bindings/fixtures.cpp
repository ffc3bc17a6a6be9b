// The pytest plug-in: the --vantle-report option, the project configuration,
// the report plug-in's registration and the `agent` fixture.

#include "common/convert.h"
#include "vantle/harness/config.h"

#include <nanobind/stl/string.h>

namespace nb = nanobind;
using namespace vantle;

namespace {

nb::object cwd() { return nb::module_::import_("os").attr("getcwd")(); }

// Runs the configuration script in a fresh namespace; its top-level names
// are the configuration record.
nb::dict run_config(const std::string& path) {
  nb::module_ builtins = nb::module_::import_("builtins");
  nb::object file = builtins.attr("open")(path, "rb");
  nb::object source;
  try {
    source = file.attr("read")();
  } catch (...) {
    file.attr("close")();
    throw;
  }
  file.attr("close")();
  nb::dict ns;
  builtins.attr("exec")(builtins.attr("compile")(source, path, "exec"), ns);
  return ns;
}

nb::tuple find_config() {
  auto found = harness::find_config_file(py::utf8(cwd()));
  if (!found) return nb::make_tuple(nb::dict(), cwd());
  return nb::make_tuple(run_config(found->string()), found->parent_path().string());
}

nb::dict load_project_config() { return nb::cast<nb::dict>(find_config()[0]); }

nb::object get(nb::dict cfg, const char* key, nb::object fallback) {
  return cfg.contains(key) ? nb::object(cfg[key]) : fallback;
}

void addoption(nb::handle parser) {
  parser.attr("getgroup")("vantle").attr("addoption")("--vantle-report", nb::arg("action") = "store",
                                                       nb::arg("default") = nb::none(),
                                                       nb::arg("help") = "Path to vantle HTML report output file");
}

void configure(nb::handle config) {
  nb::tuple found = find_config();
  nb::dict cfg = nb::cast<nb::dict>(found[0]);
  nb::object result_dir = get(cfg, "RESULT_DIR", nb::str(harness::DEFAULT_RESULT_DIR));
  nb::object report_path = config.attr("getoption")("--vantle-report", nb::arg("default") = nb::none());
  if (report_path.is_none()) {
    nb::object dir = nb::module_::import_("os").attr("fspath")(result_dir);
    report_path = py::to_str(harness::default_report_path(py::utf8(found[1]), py::utf8(dir)));
  }
  nb::setattr(config, "_vantle_result_dir", result_dir);
  nb::object reporter = nb::module_::import_("vantle.harness.reporter").attr("VantleReporter");
  config.attr("pluginmanager").attr("register")(reporter(report_path, config), "vantle_reporter");
}

// The environment variable lets one run point at another browser server
// without editing the project's configuration.
nb::object ws_endpoint(nb::dict cfg) {
  nb::object env = nb::module_::import_("os").attr("environ").attr("get")("VANTLE_BROWSER_WS_ENDPOINT");
  if (!env.is_none() && nb::len(env) > 0) return env;
  nb::object value = get(cfg, "BROWSER_WS_ENDPOINT", nb::none());
  return value.is_none() || !PyObject_IsTrue(value.ptr()) ? nb::none() : value;
}

void agent_teardown(nb::handle request, nb::handle agent) {
  agent.attr("close")();
  nb::object config = request.attr("config");
  if (!nb::hasattr(config, "_vantle_steps")) nb::setattr(config, "_vantle_steps", nb::dict());
  config.attr("_vantle_steps")[request.attr("node").attr("nodeid")] = agent.attr("_steps");
}

nb::object agent_setup(nb::handle request) {
  nb::dict cfg = load_project_config();
  nb::dict kwargs;
  kwargs["url"] = get(cfg, "URL", nb::none());
  kwargs["screenshots"] = get(cfg, "SCREENSHOTS_ON_FAILURE", nb::bool_(false));
  nb::object endpoint = ws_endpoint(cfg);
  if (!endpoint.is_none()) kwargs["ws_endpoint"] = endpoint;
  // Looked up at each test, so the package root's WebAgent is whatever it is then.
  nb::object web_agent = nb::module_::import_("vantle").attr("WebAgent");
  return web_agent(**kwargs);
}

}  // namespace

NB_MODULE(fixtures, m) {
  m.doc() = "The vantle pytest plug-in: --vantle-report, the project configuration file "
            "vantle.web.config.py, the report plug-in and the `agent` fixture.";
  m.def("_find_config", &find_config,
        "Walk up from cwd to find vantle.web.config.py. Returns (cfg, config_dir).");
  m.def("_load_project_config", &load_project_config, "The project configuration record alone.");

  // pytest reads hook and fixture parameters from Python signatures: the
  // module's hooks and fixture are Python faces over these routines.
  nb::dict hooks = nb::cast<nb::dict>(nb::module_::import_("vantle.harness._hooks").attr("plugin_hooks")(
      nb::cpp_function(&addoption, nb::arg("parser")), nb::cpp_function(&configure, nb::arg("config")),
      nb::cpp_function(&agent_setup, nb::arg("request")),
      nb::cpp_function(&agent_teardown, nb::arg("request"), nb::arg("agent"))));
  for (auto [name, fn] : hooks) {
    fn.attr("__module__") = "vantle.harness.fixtures";
    m.attr(name) = fn;
  }
}

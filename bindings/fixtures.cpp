// The pytest plug-in: its options, the project configuration, the report
// plug-in's registration, the run's browser and the `agent` fixture.

#include "common/convert.h"
#include "vantle/harness/config.h"
#include "vantle/harness/run_options.h"

#include <nanobind/stl/string.h>
#include <nanobind/stl/vector.h>

#include <algorithm>

namespace nb = nanobind;
using namespace vantle;
using py::Json;

namespace {

nb::object cwd() { return nb::module_::import_("os").attr("getcwd")(); }

// Runs the configuration script in a fresh namespace; its top-level names
// are the configuration record.
nb::dict run_config(const std::string& path) {
  nb::module_ builtins = nb::module_::import_("builtins");
  std::string text = vantle::py::read_file(nb::str(path.c_str()));
  nb::bytes source(text.data(), text.size());
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

// pytest-playwright and pytest-base-url declare some of the same flags; with
// them installed, their declaration serves and the value is read all the same.
void add_flag(nb::handle group, const harness::OptionSpec& spec) {
  nb::dict kwargs;
  kwargs["default"] = nb::none();
  kwargs["help"] = spec.help;
  if (!spec.metavar && spec.choices.empty()) {
    kwargs["action"] = "store_true";
  } else {
    kwargs["action"] = "store";
    if (spec.metavar) kwargs["metavar"] = spec.metavar;
    if (!spec.choices.empty()) kwargs["choices"] = nb::cast(spec.choices);
  }
  try {
    group.attr("addoption")(spec.flag, **kwargs);
  } catch (nb::python_error& e) {
    if (!e.matches(PyExc_ValueError)) throw;
  }
}

void addoption(nb::handle parser) {
  nb::object group = parser.attr("getgroup")("vantle");
  group.attr("addoption")("--vantle-report", nb::arg("action") = "store", nb::arg("default") = nb::none(),
                          nb::arg("help") = "Path to vantle HTML report output file");
  for (const auto& spec : harness::option_specs()) add_flag(group, spec);
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
  nb::module_ path = nb::module_::import_("os.path");
  nb::setattr(config, "_vantle_report_dir", path.attr("dirname")(path.attr("abspath")(report_path)));
  nb::object reporter = nb::module_::import_("vantle.harness.reporter").attr("VantleReporter");
  config.attr("pluginmanager").attr("register")(reporter(report_path, config), "vantle_reporter");
}

// The run's options: each flag's value as given, else the configuration's.
harness::RunOptions run_options(nb::handle config, nb::dict cfg) {
  Json given = Json::object(), configured = Json::object();
  for (const auto& spec : harness::option_specs()) {
    given[spec.key] = py::to_json(config.attr("getoption")(spec.flag, nb::arg("default") = nb::none()));
    if (cfg.contains(spec.key)) configured[spec.key] = py::to_json(cfg[spec.key]);
  }
  if (cfg.contains("SCREENSHOTS_ON_FAILURE"))
    configured["SCREENSHOTS_ON_FAILURE"] = PyObject_IsTrue(nb::object(cfg["SCREENSHOTS_ON_FAILURE"]).ptr()) == 1;
  return harness::resolve_options(given, configured);  // a bad value: ValueError
}

// The environment variable lets one run point at other browser servers
// without editing the project's configuration. Either may list several.
std::string ws_endpoints(nb::dict cfg) {
  nb::object env = nb::module_::import_("os").attr("environ").attr("get")("VANTLE_BROWSER_WS_ENDPOINT");
  if (!env.is_none() && nb::len(env) > 0) return py::utf8(env);
  nb::object value = get(cfg, "BROWSER_WS_ENDPOINT", nb::none());
  if (value.is_none() || !PyObject_IsTrue(value.ptr())) return "";
  if (PyUnicode_Check(value.ptr())) return py::utf8(value);
  std::string joined;  // a list or tuple of addresses
  for (nb::handle item : value) joined += py::utf8(nb::str(item)) + ",";
  return joined;
}

nb::object worker_endpoint(nb::dict cfg) {
  nb::object worker = nb::module_::import_("os").attr("environ").attr("get")("PYTEST_XDIST_WORKER", "");
  std::string endpoint = harness::endpoint_for_worker(harness::endpoint_list(ws_endpoints(cfg)), py::utf8(worker));
  return endpoint.empty() ? nb::none() : nb::object(py::to_str(endpoint));
}

// One browser per process (so per pytest-xdist worker), started by the first
// test that needs it.
nb::object session_start(nb::handle request) {
  nb::dict cfg = load_project_config();
  harness::RunOptions options = run_options(request.attr("config"), cfg);
  nb::dict kwargs;
  kwargs["headless"] = !options.headed;
  kwargs["slow_mo"] = options.slowmo_ms;
  kwargs["ws_endpoint"] = worker_endpoint(cfg);
  kwargs["timeout_ms"] = options.timeout_ms;
  return nb::module_::import_("vantle._agent").attr("SessionBrowser")(**kwargs);
}

void session_end(nb::handle session) { session.attr("close")(); }

// A failed phase of a test, heard from pytest's report, decides what the
// test's recordings and screenshot do at tear-down.
void record_outcome(nb::handle item, nb::handle report) {
  if (PyObject_IsTrue(nb::getattr(report, "failed", nb::bool_(false)).ptr()) == 1)
    nb::setattr(item, "_vantle_failed", nb::bool_(true));
}

struct TestRun {
  harness::RunOptions options;
  nb::object context;
};

std::string report_file(nb::handle config, const char* folder, const std::string& name) {
  nb::module_ os = nb::module_::import_("os");
  nb::object dir = os.attr("path").attr("join")(config.attr("_vantle_report_dir"), folder);
  os.attr("makedirs")(dir, nb::arg("exist_ok") = true);
  return py::utf8(os.attr("path").attr("join")(dir, py::to_str(name)));
}

// A test names the files it uploads from where it is written, else from the configuration's folder.
nb::list file_roots(nb::handle request, nb::handle config_dir) {
  nb::list roots;
  roots.append(nb::module_::import_("os").attr("fspath")(request.attr("path").attr("parent")));
  if (!config_dir.is_none()) roots.append(config_dir);
  return roots;
}

nb::object agent_setup(nb::handle request, nb::handle session) {
  nb::tuple found = find_config();
  nb::dict cfg = nb::cast<nb::dict>(found[0]);
  nb::object config = request.attr("config");
  TestRun run{run_options(config, cfg), nb::none()};
  nb::dict context_options;
  if (run.options.video != harness::Keep::off)
    context_options["record_video_dir"] = py::to_str(report_file(config, "videos", ".recording"));
  run.context = session.attr("new_context")(**context_options);
  nb::dict kwargs;
  kwargs["url"] = run.options.base_url ? nb::object(py::to_str(*run.options.base_url)) : nb::none();
  kwargs["screenshots"] = nb::bool_(run.options.screenshot != harness::Shots::off);
  kwargs["timeout_ms"] = run.options.timeout_ms;
  kwargs["context"] = run.context;
  kwargs["file_roots"] = file_roots(request, found[1]);
  try {
    if (run.options.tracing != harness::Keep::off)
      run.context.attr("tracing").attr("start")(nb::arg("screenshots") = true, nb::arg("snapshots") = true);
    // Looked up at each test, so the package root's WebAgent is whatever it is then.
    nb::object agent = nb::module_::import_("vantle").attr("WebAgent")(**kwargs);
    nb::setattr(request.attr("node"), "_vantle_run", nb::cast(std::move(run)));
    return agent;
  } catch (...) {
    run.context.attr("close")();
    throw;
  }
}

bool step_has_screenshot(nb::handle agent) {
  for (nb::handle step : agent.attr("_steps"))
    if (nb::isinstance<nb::dict>(step) && nb::cast<nb::dict>(step).contains("screenshot")) return true;
  return false;
}

// Keeping a recording is best effort: a browser that died with the test
// leaves nothing to keep, and that must not turn into a second failure.
template <typename F>
void best_effort(F&& f) {
  try {
    f();
  } catch (nb::python_error& e) {
    if (!e.matches(PyExc_Exception)) throw;
  }
}

nb::dict keep_recordings(nb::handle request, nb::handle agent, TestRun& run) {
  nb::object config = request.attr("config");
  std::string nodeid = py::utf8(request.attr("node").attr("nodeid"));
  bool failed = nb::cast<bool>(nb::getattr(request.attr("node"), "_vantle_failed", nb::bool_(false)));
  nb::dict kept;
  nb::list pages = nb::cast<nb::list>(nb::module_::import_("builtins").attr("list")(run.context.attr("pages")));
  if (harness::test_screenshot(run.options.screenshot, failed, step_has_screenshot(agent)) && nb::len(pages))
    best_effort([&] {
      nb::object png = pages[0].attr("screenshot")(nb::arg("type") = "png");
      kept["screenshot"] = nb::module_::import_("base64").attr("b64encode")(png).attr("decode")("ascii");
    });
  if (run.options.tracing != harness::Keep::off)
    best_effort([&] {
      std::string name = harness::artifact_name(nodeid, ".zip");
      bool keep = harness::keep_recording(run.options.tracing, failed);
      nb::object path = keep ? nb::object(py::to_str(report_file(config, "traces", name))) : nb::none();
      run.context.attr("tracing").attr("stop")(nb::arg("path") = path);
      if (keep) kept["trace"] = py::to_str("traces/" + name);
    });
  nb::object video = nb::len(pages) ? nb::getattr(pages[0], "video", nb::none()) : nb::none();
  agent.attr("close")();
  if (!video.is_none())
    best_effort([&] {
      std::string name = harness::artifact_name(nodeid, ".webm");
      if (harness::keep_recording(run.options.video, failed)) {
        video.attr("save_as")(py::to_str(report_file(config, "videos", name)));
        kept["video"] = py::to_str("videos/" + name);
      }
      video.attr("delete")();
    });
  return kept;
}

void agent_teardown(nb::handle request, nb::handle agent) {
  nb::object node = request.attr("node");
  nb::object held = nb::getattr(node, "_vantle_run", nb::none());
  if (!held.is_none()) nb::delattr(node, "_vantle_run");
  nb::dict kept;
  if (held.is_none()) {
    agent.attr("close")();
  } else {
    kept = keep_recordings(request, agent, nb::cast<TestRun&>(held));
  }
  nb::object config = request.attr("config");
  if (!nb::hasattr(config, "_vantle_steps")) nb::setattr(config, "_vantle_steps", nb::dict());
  config.attr("_vantle_steps")[node.attr("nodeid")] = agent.attr("_steps");
  if (nb::len(kept) == 0) return;
  if (!nb::hasattr(config, "_vantle_kept")) nb::setattr(config, "_vantle_kept", nb::dict());
  config.attr("_vantle_kept")[node.attr("nodeid")] = kept;
}

}  // namespace

NB_MODULE(fixtures, m) {
  m.doc() = "The vantle pytest plug-in: --vantle-report, the project configuration file "
            "vantle.web.config.py, the report plug-in and the `agent` fixture.";
  m.def("_find_config", &find_config,
        "Walk up from cwd to find vantle.web.config.py. Returns (cfg, config_dir).");
  m.def("_load_project_config", &load_project_config, "The project configuration record alone.");
  m.def("_browser_endpoint", &worker_endpoint, nb::arg("cfg"),
        "The browser server this process's tests use (round-robin over the configured ones by pytest-xdist "
        "worker), or None to launch Chromium.");
  m.def(
      "_option_specs",
      [] {
        nb::list out;
        for (const auto& spec : harness::option_specs()) out.append(nb::make_tuple(spec.flag, spec.key, spec.choices));
        return out;
      },
      "(flag, configuration key, choices) of every run option, in --help order.");
  m.def(
      "_resolve_options",
      [](nb::dict given, nb::dict configured) {
        Json options = harness::options_record(harness::resolve_options(py::to_json(given), py::to_json(configured)));
        return py::from_json(options);
      },
      nb::arg("given"), nb::arg("configured"),
      "The run options from command-line values and configuration values, both keyed by configuration key.");
  std::vector<std::string> keys = {"URL", "RESULT_DIR", "SCREENSHOTS_ON_FAILURE", "BROWSER_WS_ENDPOINT"};
  for (const auto& spec : harness::option_specs())
    if (std::find(keys.begin(), keys.end(), spec.key) == keys.end()) keys.push_back(spec.key);
  m.attr("CONFIG_KEYS") = nb::tuple(nb::cast(keys));

  // pytest reads hook and fixture parameters from Python signatures: the
  // module's hooks and fixture are Python faces over these routines.
  nb::class_<TestRun>(m, "_TestRun", "What a test's agent was set up with, kept until its tear-down.");
  nb::dict hooks = nb::cast<nb::dict>(nb::module_::import_("vantle.harness._hooks").attr("plugin_hooks")(
      nb::cpp_function(&addoption, nb::arg("parser")), nb::cpp_function(&configure, nb::arg("config")),
      nb::cpp_function(&record_outcome, nb::arg("item"), nb::arg("report")),
      nb::cpp_function(&session_start, nb::arg("request")), nb::cpp_function(&session_end, nb::arg("session")),
      nb::cpp_function(&agent_setup, nb::arg("request"), nb::arg("session")),
      nb::cpp_function(&agent_teardown, nb::arg("request"), nb::arg("agent"))));
  for (auto [name, fn] : hooks) {
    fn.attr("__module__") = "vantle.harness.fixtures";
    m.attr(name) = fn;
  }
}

// Python face of the agent: WebAgent, its browser manager and StepFailed.
// The host side lives here because it needs Python itself: starting the
// Playwright driver, hearing dialogs, and running browser work in a greenlet
// so that a native dialog or a deadline hands control back at once.

#include <nanobind/nanobind.h>
#include <nanobind/stl/optional.h>
#include <nanobind/stl/pair.h>
#include <nanobind/stl/string.h>
#include <nanobind/stl/vector.h>

#include <chrono>
#include <fstream>
#include <sstream>

#include "common/action_error.h"
#include "common/convert.h"
#include "common/py_remote.h"
#include "common/records.h"
#include "common/scan_hooks.h"
#include "vantle/agent/browser_manager.h"
#include "vantle/agent/engine.h"
#include "vantle/agent/messages.h"
#include "vantle/agent/resolution.h"
#include "vantle/agent/retry.h"
#include "vantle/agent/routing.h"
#include "vantle/agent/session_browser.h"
#include "vantle/agent/steps.h"
#include "vantle/agent/web_agent.h"
#include "vantle/browser/actions.h"
#include "vantle/browser/page_scanner.h"
#include "vantle/language/instruction_file.h"
#include "vantle/text/text.h"

namespace nb = nanobind;
using namespace nb::literals;
namespace agent = vantle::agent;
using vantle::browser::RemotePtr;
using vantle::py::from_json;
using vantle::py::to_json;
using vantle::py::to_str;
using vantle::py::u32;
using vantle::py::unwrap;
using vantle::py::utf8;
using vantle::py::wrap;

namespace {

using Json = nlohmann::ordered_json;

// A page's "dialog" listener.
struct DialogListener {
  std::function<void(nb::object)> call;
};

struct RunState {
  bool done = false;
  bool waiting = true;
  std::exception_ptr error;
};

// Playwright's sync API allows one driver per thread, so the managers of a
// thread share one: started by the first, stopped with the last. A driver
// that someone else started in this thread is used, never stopped. The slot
// is a Python threading.local, so the interpreter, not a C++ thread_local,
// decides when the driver object goes.
struct SharedDriver {
  nb::object slot;
  nb::object driver() const { return nb::getattr(slot, "driver", nb::none()); }
  int users() const { return nb::cast<int>(nb::getattr(slot, "users", nb::int_(0))); }
  bool owned() const { return nb::cast<bool>(nb::getattr(slot, "owned", nb::bool_(false))); }
  void set(nb::object driver, int users, bool owned) {
    slot.attr("driver") = driver;
    slot.attr("users") = users;
    slot.attr("owned") = owned;
  }
};

SharedDriver shared_driver() { return {nb::module_::import_("vantle._agent").attr("_drivers")}; }

// The sync Playwright whose event loop is running in this thread: its
// start-up task holds the context manager that owns it.
nb::object running_playwright(nb::handle loop) {
  nb::object tasks = nb::module_::import_("asyncio").attr("all_tasks")(loop);
  for (nb::handle task : tasks) {
    nb::object coro = task.attr("get_coro")();
    if (!nb::hasattr(coro, "cr_frame") || coro.attr("cr_frame").is_none()) continue;
    nb::object locals = coro.attr("cr_frame").attr("f_locals");
    nb::object owner = locals.attr("get")("self");
    if (!owner.is_none() && nb::hasattr(owner, "_playwright") && nb::hasattr(owner, "_dispatcher_fiber"))
      return owner.attr("_playwright");
  }
  throw std::runtime_error(
      "An asyncio event loop is running in this thread, and it is not Playwright's sync driver: "
      "WebAgent drives the browser through Playwright's sync API and cannot run inside an asyncio loop.");
}

class PyHost final : public agent::Host, public std::enable_shared_from_this<PyHost> {
 public:
  RemotePtr start_driver() override {
    return vantle::py::keeping_interrupts([&] {
      SharedDriver shared = shared_driver();
      nb::object driver = shared.driver();
      int users = shared.users();
      bool owned = shared.owned();
      if (users == 0 || driver.is_none() || nb::cast<bool>(driver.attr("_dispatcher_fiber").attr("dead"))) {
        nb::object running = nb::module_::import_("asyncio").attr("_get_running_loop")();
        owned = running.is_none();
        driver = owned ? nb::module_::import_("playwright.sync_api").attr("sync_playwright")().attr("start")()
                       : running_playwright(running);
        users = 0;
      }
      shared.set(driver, users + 1, owned);
      loop_ = driver.attr("_loop");
      dispatcher_ = driver.attr("_dispatcher_fiber");
      return wrap(driver);
    });
  }

  void stop_driver() override {
    vantle::py::keeping_interrupts([&] {
      SharedDriver shared = shared_driver();
      int users = shared.users();
      if (users == 0) return;
      nb::object driver = shared.driver();
      bool owned = shared.owned();
      if (users > 1) return shared.set(driver, users - 1, owned);
      shared.set(nb::none(), 0, false);
      if (owned) driver.attr("stop")();
    });
  }

  void listen_for_dialogs(const RemotePtr& page, std::function<void(RemotePtr)> on_dialog) override {
    vantle::py::keeping_interrupts([&] { listen(page, std::move(on_dialog)); });
  }

  agent::RunEnd run_guarded(std::function<void()> work, std::function<bool()> stop, double timeout_ms) override {
    return vantle::py::keeping_interrupts([&] { return guard(std::move(work), std::move(stop), timeout_ms); });
  }

  std::string screenshot(const RemotePtr& page, double timeout_ms) override {
    return vantle::py::keeping_interrupts([&] {
      nb::object png = unwrap(page).attr("screenshot")("type"_a = "png", "timeout"_a = timeout_ms);
      nb::bytes bytes = nb::cast<nb::bytes>(png);
      return std::string(bytes.c_str(), bytes.size());
    });
  }

  std::string env(const std::string& name) override {
    return vantle::py::keeping_interrupts([&] {
      nb::object value = nb::module_::import_("os").attr("environ").attr("get")(name.c_str());
      return value.is_none() ? std::string() : utf8(value);
    });
  }

  std::string describe(const std::exception_ptr& error) override {
    return vantle::py::keeping_interrupts([&] { return vantle::py::error_text(error); });
  }

 private:
  void listen(const RemotePtr& page, std::function<void(RemotePtr)> on_dialog) {
    std::weak_ptr<PyHost> self = weak_from_this();
    nb::object listener = nb::cast(DialogListener{[on_dialog, self](nb::object dialog) {
      on_dialog(wrap(dialog));
      if (auto host = self.lock()) host->wake_soon();
    }});
    // Playwright reads the listener's signature and tags it with attributes.
    nb::module_ inspect = nb::module_::import_("inspect");
    nb::object parameter = inspect.attr("Parameter");
    nb::list parameters;
    parameters.append(parameter("dialog", parameter.attr("POSITIONAL_OR_KEYWORD")));
    listener.attr("__signature__") = inspect.attr("Signature")(parameters);
    unwrap(page).attr("on")("dialog", listener);
  }

  agent::RunEnd guard(std::function<void()> work, std::function<bool()> stop, double timeout_ms) {
    if (stop()) return agent::RunEnd::interrupted;
    nb::module_ greenlet = nb::module_::import_("greenlet");
    nb::object me = greenlet.attr("getcurrent")();
    auto state = std::make_shared<RunState>();
    nb::object body = nb::cpp_function([state, work = std::move(work)]() {
      try {
        work();
      } catch (...) {
        state->error = std::current_exception();
      }
      state->done = true;
    });
    nb::object wake = nb::cpp_function([state, me]() {
      if (state->waiting) me.attr("switch")();
    });
    nb::object timer = loop_.attr("call_later")(timeout_ms / 1000.0, wake);
    wake_ = wake;
    nb::object worker = greenlet.attr("greenlet")(body);
    auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double, std::milli>(timeout_ms);
    try {
      worker.attr("switch")();
      while (!state->done && !stop() && std::chrono::steady_clock::now() < deadline) {
        if (nb::cast<bool>(dispatcher_.attr("dead"))) throw std::runtime_error("Playwright connection closed");
        dispatcher_.attr("switch")();
      }
    } catch (...) {
      settle(*state, timer);
      throw;
    }
    settle(*state, timer);
    if (!state->done) {
      // Left to finish on its own: it must then hand control to the event
      // loop, not to whoever happens to run us at that moment.
      worker.attr("parent") = dispatcher_;
      return stop() ? agent::RunEnd::interrupted : agent::RunEnd::timed_out;
    }
    if (state->error) std::rethrow_exception(state->error);
    return agent::RunEnd::finished;
  }

  void wake_soon() {
    if (wake_.is_valid() && !wake_.is_none()) loop_.attr("call_soon")(wake_);
  }

  void settle(RunState& state, nb::object& timer) {
    state.waiting = false;
    timer.attr("cancel")();
    wake_ = nb::none();
    // The loop counts as running for as long as the dispatcher lives.
    if (!nb::cast<bool>(dispatcher_.attr("dead")))
      nb::module_::import_("asyncio").attr("_set_running_loop")(loop_);
  }

  nb::object loop_, dispatcher_, wake_ = nb::none();
};

// StepFailed with the unexpected error behind it as __cause__.
void raise_step_failed(const std::exception_ptr& p, void* type) {
  try {
    std::rethrow_exception(p);
  } catch (const agent::StepFailure& failure) {
    nb::handle step_failed(static_cast<PyObject*>(type));
    try {
      nb::object exc = step_failed(to_str(failure.what()));
      if (failure.cause())
        PyException_SetCause(exc.ptr(), vantle::py::exception_object(failure.cause()).release().ptr());
      PyErr_SetObject(step_failed.ptr(), exc.ptr());
    } catch (nb::python_error& e) {
      e.restore();
    }
  }
}

// ----- BrowserManager -------------------------------------------------------

struct PyBrowserManager {
  std::shared_ptr<PyHost> host;
  agent::BrowserManagerPtr core;
};

std::string optional_text(const nb::object& value) { return value.is_none() ? std::string() : utf8(value); }

agent::BrowserOptions browser_options(bool headless, nb::object browser_path, nb::object ws_endpoint,
                                      double timeout_ms, double slow_mo, nb::object context) {
  agent::BrowserOptions options;
  options.headless = headless;
  options.slow_mo_ms = slow_mo;
  options.browser_path = optional_text(browser_path);
  options.ws_endpoint = optional_text(ws_endpoint);
  options.timeout_ms = timeout_ms;
  if (!context.is_none()) options.context = wrap(context);
  return options;
}

PyBrowserManager make_manager(const agent::BrowserOptions& options) {
  auto host = std::make_shared<PyHost>();
  return {host, std::make_shared<agent::BrowserManager>(host, options)};
}

// ----- SessionBrowser -------------------------------------------------------

struct PySessionBrowser {
  std::shared_ptr<agent::SessionBrowser> core;

  nb::object new_context(nb::kwargs options) {
    vantle::browser::Kwargs kwargs;
    for (auto [key, value] : options) kwargs.emplace_back(utf8(key), to_json(value));
    return unwrap(core->new_context(kwargs));
  }
};

nb::object remote_or_none(const RemotePtr& remote) { return remote ? unwrap(remote) : nb::none(); }

// ----- WebAgent -------------------------------------------------------------

struct PyWebAgent {
  nb::object manager;  // the PyBrowserManager, shared with Actions
  std::shared_ptr<agent::WebAgent> core;
  nb::list steps;

  PyBrowserManager& browser() { return nb::cast<PyBrowserManager&>(manager); }

  nb::object run(nb::handle instruction) {
    if (!PyUnicode_Check(instruction.ptr())) throw nb::type_error("instruction must be a str");
    return from_json(core->run(u32(instruction)));
  }

  nb::list run_all(nb::iterable instructions) {
    nb::list results;
    for (nb::handle instruction : instructions) results.append(run(instruction));
    return results;
  }

  nb::list run_file(nb::object path) {
    nb::list results;
    for (const auto& line : vantle::language::read_instruction_file(vantle::py::read_file(path)).all())
      results.append(run(to_str(line.text)));
    return results;
  }

  void close() { browser().core->close(); }
};

nb::object last_resolution(PyWebAgent& self) {
  const agent::PageScan* scan = self.core->last_scan();
  const agent::StepResolution* resolution = self.core->last_resolution();
  if (!scan || !resolution) return nb::none();
  Json out = Json::object();
  out["elements"] = scan->elements;
  out["text_elements"] = scan->text_elements;
  if (!scan->row.is_null()) out["row"] = scan->row;
  out["query"] = resolution->query;
  out["result"] = resolution->result;
  out["passed"] = resolution->passed;
  out["message"] = resolution->message;
  return from_json(out);
}

}  // namespace

NB_MODULE(_agent, m) {
  vantle::py::register_interrupts();
  vantle::py::register_record_errors();
  // An agent still held at exit (a script's global, a failed start's
  // traceback) is freed after nanobind takes stock, which then reports a
  // reference-counting leak that is none; an agent let go is freed at once.
  nb::set_leak_warnings(false);
  m.doc() = "The agent that runs plain-English steps on a live Chromium page.";

  nb::class_<DialogListener>(m, "_DialogListener", nb::dynamic_attr(),
                             "Hands the page's native dialogs to its browser manager.")
      .def("__call__", [](DialogListener& self, nb::object dialog) { self.call(std::move(dialog)); }, "dialog"_a);

  m.attr("_drivers") = nb::module_::import_("threading").attr("local")();
  nb::exception<agent::StepFailure> step_failed(m, "StepFailed", PyExc_AssertionError);
  nb::register_exception_translator(raise_step_failed, step_failed.ptr());
  nb::exception<agent::BrowserNotFound>(m, "BrowserNotFound", PyExc_RuntimeError);

  nb::class_<PyBrowserManager>(m, "BrowserManager",
                               "Owns one Playwright driver, its Chromium browser and page, and the native "
                               "dialog pending on that page.")
      .def(
          "__init__",
          [](PyBrowserManager* self, bool headless, nb::object browser_path, nb::object ws_endpoint,
             double timeout_ms, double slow_mo, nb::object context) {
            new (self) PyBrowserManager(
                make_manager(browser_options(headless, browser_path, ws_endpoint, timeout_ms, slow_mo, context)));
          },
          nb::kw_only(), "headless"_a = true, "browser_path"_a = nb::none(), "ws_endpoint"_a = nb::none(),
          "timeout_ms"_a = 5000.0, "slow_mo"_a = 0.0, "context"_a = nb::none(),
          "Chromium is found from browser_path, then $VANTLE_BROWSER, then /usr/bin/chromium, then "
          "Playwright's own browser. With ws_endpoint (or $VANTLE_BROWSER_WS_ENDPOINT) it connects to a "
          "running Playwright browser server instead of launching. slow_mo: milliseconds to pause after each "
          "browser operation. context: a browser context to open the page in; the manager then closes that "
          "context, never a browser.")
      .def("start", [](PyBrowserManager& self) { self.core->start(); },
           "Start Playwright, launch or connect to Chromium and open a page.")
      .def("get_dialog", [](PyBrowserManager& self) { return remote_or_none(self.core->get_dialog()); },
           "The native dialog pending on the page, or None.")
      .def("clear_dialog", [](PyBrowserManager& self) { self.core->clear_dialog(); },
           "Forget the pending dialog (after it was accepted or dismissed).")
      .def("close", [](PyBrowserManager& self) { self.core->close(); },
           "Dismiss a dialog left open, close the browser and stop Playwright. Safe to call again.")
      .def_prop_ro("page", [](PyBrowserManager& self) { return remote_or_none(self.core->page()); },
                   "The Playwright page.")
      .def_prop_ro("browser", [](PyBrowserManager& self) { return remote_or_none(self.core->browser()); },
                   "The Playwright browser.")
      .def_prop_ro("playwright", [](PyBrowserManager& self) { return remote_or_none(self.core->driver()); },
                   "The running Playwright object.")
      .def_prop_ro("closed", [](PyBrowserManager& self) { return self.core->closed(); })
      .def_static(
          "_locate_browser",
          [](nb::object browser_path, nb::object env_path, std::string debian_path, nb::object bundled_path) {
            agent::BrowserSearch search;
            search.explicit_path = optional_text(browser_path);
            search.env_path = optional_text(env_path);
            search.debian_path = debian_path;
            search.bundled_path = optional_text(bundled_path);
            return agent::locate_browser(search, [](const std::string& path) {
              return nb::cast<bool>(nb::module_::import_("os.path").attr("isfile")(path));
            });
          },
          "browser_path"_a = nb::none(), "env_path"_a = nb::none(), "debian_path"_a = agent::kDebianChromium,
          "bundled_path"_a = nb::none(), "The Chromium executable the manager would launch.");

  nb::class_<PySessionBrowser>(m, "SessionBrowser",
                               "One browser for a test run that hands out a fresh browser context per test, "
                               "replacing the browser when it died.")
      .def(
          "__init__",
          [](PySessionBrowser* self, bool headless, nb::object browser_path, nb::object ws_endpoint,
             double timeout_ms, double slow_mo) {
            auto options = browser_options(headless, browser_path, ws_endpoint, timeout_ms, slow_mo, nb::none());
            new (self) PySessionBrowser{std::make_shared<agent::SessionBrowser>(std::make_shared<PyHost>(), options)};
          },
          nb::kw_only(), "headless"_a = true, "browser_path"_a = nb::none(), "ws_endpoint"_a = nb::none(),
          "timeout_ms"_a = 5000.0, "slow_mo"_a = 0.0, "Options as for BrowserManager; nothing starts yet.")
      .def("new_context", &PySessionBrowser::new_context,
           "A new browser context; keyword arguments are Playwright's context options.")
      .def_prop_ro("browser", [](PySessionBrowser& self) { return unwrap(self.core->browser()); },
                   "The Playwright browser now serving contexts (launched on first use).")
      .def_prop_ro("launches", [](PySessionBrowser& self) { return self.core->launches(); },
                   "How many browsers this session has launched.")
      .def("close", [](PySessionBrowser& self) { self.core->close(); },
           "Close the browser and stop Playwright. Safe to call again.");

  nb::class_<PyWebAgent>(m, "WebAgent",
                         "Runs plain-English test steps on its own Chromium page: parse, scan, resolve, act, "
                         "record.")
      .def(
          "__init__",
          [](PyWebAgent* self, nb::object url, bool screenshots, bool headless, double timeout_ms,
             nb::object browser_path, nb::object ws_endpoint, double slow_mo, nb::object context,
             std::vector<std::string> file_roots) {
            nb::object manager = nb::cast(
                make_manager(browser_options(headless, browser_path, ws_endpoint, timeout_ms, slow_mo, context)));
            PyBrowserManager& pm = nb::cast<PyBrowserManager&>(manager);
            pm.core->start();
            agent::BrowserManagerPtr pages = pm.core;
            agent::EnginePtr engine =
                agent::page_engine([pages] { return pages->page(); }, pm.core, vantle::py::scan_hooks());
            nb::list steps;
            agent::AgentOptions options{screenshots, timeout_ms, std::move(file_roots)};
            auto core = std::make_shared<agent::WebAgent>(pm.host, pm.core, engine, options,
                                                          [steps](const Json& step) mutable {
                                                            steps.append(from_json(step));
                                                          });
            new (self) PyWebAgent{manager, core, steps};
            if (!url.is_none()) {
              try {
                core->open(utf8(url));
              } catch (...) {
                pm.core->close();
                throw;
              }
            }
          },
          "url"_a = nb::none(), "screenshots"_a = false, nb::kw_only(), "headless"_a = true,
          "timeout_ms"_a = 5000.0, "browser_path"_a = nb::none(), "ws_endpoint"_a = nb::none(),
          "slow_mo"_a = 0.0, "context"_a = nb::none(), "file_roots"_a = std::vector<std::string>(),
          "Start a browser (see BrowserManager) and open url when given. screenshots: attach a PNG to "
          "every failed step. timeout_ms: how long a step keeps looking for its target. context: run in a "
          "page of this browser context (closed with the agent) instead of a browser of the agent's own. "
          "file_roots: folders a relative 'upload' path is looked up in before the working directory.")
      .def("run", &PyWebAgent::run, "instruction"_a, nb::sig("def run(self, instruction: str) -> typing.Any"),
           "Run one instruction. Returns the extracted text for 'extract text', the clicked element's text "
           "for 'click', the dialog message for 'accept dialog'/'dismiss dialog', True for a passing "
           "check, else None. Raises StepFailed when the step fails.")
      .def("run_all", &PyWebAgent::run_all, "instructions"_a,
           "Run instructions in order, stopping at the first failure; returns their results.")
      .def("run_file", &PyWebAgent::run_file, "path"_a,
           "Run an instruction file: one instruction per line; blank lines and # comments are skipped.")
      .def("close", &PyWebAgent::close, "Close the browser. Safe to call again.")
      .def("__enter__", [](nb::object self) { return self; }, nb::sig("def __enter__(self) -> WebAgent"))
      .def(
          "__exit__", [](PyWebAgent& self, nb::args) { self.close(); }, "Close the browser.")
      .def_prop_ro("page", [](PyWebAgent& self) { return remote_or_none(self.browser().core->page()); },
                   "The Playwright page.")
      .def_prop_ro("_browser_manager", [](PyWebAgent& self) { return self.manager; },
                   "The browser manager that owns the page and its pending dialog.")
      .def_prop_ro("_steps", [](PyWebAgent& self) { return self.steps; },
                   "The step records of this agent, in order (readable after close()).")
      .def_prop_ro("_last_resolution", &last_resolution,
                   "The last step's final scan (elements, text_elements) and what the agent made of it (query, "
                   "result, passed, message); None after a step that does not look at the page.");

  m.def(
      "_route",
      [](nb::handle instruction) {
        std::u32string text = u32(instruction);
        agent::ParsedStep step = agent::parse(text);
        switch (agent::route(step)) {
          case agent::Route::layout:
            return std::make_pair(std::string("layout"), to_str(agent::layout_target(step)));
          case agent::Route::direct:
            return std::make_pair(std::string("direct"), to_str(step.target.value_or(U"")));
          case agent::Route::keys:
            return std::make_pair(std::string("keys"), to_str(U""));
          case agent::Route::dialog:
            return std::make_pair(std::string("dialog"), to_str(U""));
          case agent::Route::wait:
            return std::make_pair(std::string("wait"), to_str(U""));
          case agent::Route::page:
            return std::make_pair(std::string("page"), to_str(U""));
          default:
            return std::make_pair(std::string("navigate"), to_str(U""));
        }
      },
      "instruction"_a, "Which resolver the agent uses for an instruction, and the target it hands over.");
  m.def(
      "_near_candidates",
      [](const std::string& target, nb::handle elements, nb::handle text_elements, std::size_t limit) {
        return agent::near_candidates(target, to_json(elements), to_json(text_elements), limit);
      },
      "target"_a, "elements"_a, "text_elements"_a, "limit"_a = 3,
      "The scanned texts closest to a target that matched nothing, as failure messages list them.");
  m.def(
      "_resolve_direct",
      [](nb::handle record, nb::handle elements, nb::handle text_elements) {
        return from_json(agent::resolve_direct(to_json(record), {to_json(elements), to_json(text_elements)}));
      },
      "record"_a, "elements"_a, "text_elements"_a,
      "DirectStrategy.resolve as the agent calls it in-process (records are copied).");
  m.def(
      "_resolve_layout",
      [](nb::handle record, nb::handle elements, nb::handle text_elements) {
        return from_json(agent::resolve_layout(to_json(record), {to_json(elements), to_json(text_elements)}));
      },
      "record"_a, "elements"_a, "text_elements"_a,
      "LayoutBuilder + LayoutResolver as the agent calls them in-process (records are copied).");
  m.def("_next_pause_ms", &agent::next_pause_ms, "elapsed_ms"_a, "timeout_ms"_a, "attempt"_a,
        "How long the agent waits for the page to change before trying a step again; None when time is up.");
}

#include "vantle/agent/web_agent.h"

#include <algorithm>
#include <chrono>
#include <filesystem>

#include "page_scripts.h"
#include "vantle/agent/messages.h"
#include "vantle/agent/retry.h"
#include "vantle/agent/steps.h"
#include "vantle/browser/page_scanner.h"
#include "vantle/text/text.h"

namespace vantle::agent {

namespace {

using Clock = std::chrono::steady_clock;

const char* const kChangeScript = browser::js::change_observer;

// Stamps a step record with when it started (seconds since the epoch, so the
// steps of one test line up on the report's timeline) and how long it took.
class StepTimer {
 public:
  Json stamp(Json step) const {
    step["start"] = std::chrono::duration<double>(wall_.time_since_epoch()).count();
    step["duration"] = std::chrono::duration<double>(Clock::now() - began_).count();
    return step;
  }

 private:
  std::chrono::system_clock::time_point wall_ = std::chrono::system_clock::now();
  Clock::time_point began_ = Clock::now();
};

// Longest a failed step waits for its screenshot.
constexpr double kScreenshotMs = 5000;

double elapsed_ms(Clock::time_point since) {
  return std::chrono::duration<double, std::milli>(Clock::now() - since).count();
}

bool truth(const Json& record, const char* key) {
  auto it = record.find(key);
  return it != record.end() && it->is_boolean() && it->get<bool>();
}

std::string text_of(const Json& record, const char* key) {
  if (!record.is_object()) return {};
  auto it = record.find(key);
  return it != record.end() && it->is_string() ? it->get<std::string>() : std::string();
}

bool settled(const Json& result) {
  if (!result.is_object() || !truth(result, "resolved")) return false;
  return !result.contains("verified") || truth(result, "verified");
}

bool is_check(const std::string& action) {
  return action.rfind("verify_", 0) == 0 || action == "find_text" || action == "find_exact_text";
}

// The layout resolver finds an element but does not judge its state.
void judge_state(const std::string& action, Json& result) {
  if (!truth(result, "resolved") || action.rfind("verify_", 0) != 0) return;
  const Json& element = result["element"];
  bool visible = truth(element, "is_visible"), enabled = truth(element, "is_enabled");
  bool verified = action == "verify_visible"    ? visible
                  : action == "verify_enabled"  ? enabled
                  : action == "verify_disabled" ? !enabled
                                                : true;
  result["verified"] = verified;
  result["state"] = Json{{"present", true}, {"visible", visible}, {"enabled", enabled}};
}

std::string wanted_state(const std::string& action) {
  if (action == "verify_visible" || action == "verify_text_visible") return "visible";
  if (action == "verify_enabled") return "enabled";
  if (action == "verify_disabled") return "disabled";
  return "present";
}

}  // namespace

Json step_record(const ParsedStep& step) {
  Json record = Json::object();
  record["action"] = step.action;
  record["target"] = step.target ? Json(text::encode(*step.target)) : Json(nullptr);
  record["value"] = step.value ? Json(text::encode(*step.value)) : Json(nullptr);
  if (step.ordinal) record["ordinal"] = *step.ordinal;
  record["_literal_target"] = step.literal_target;
  return record;
}

WebAgent::WebAgent(std::shared_ptr<Host> host, BrowserManagerPtr manager, EnginePtr engine, AgentOptions options,
                   std::function<void(const Json&)> record_step)
    : host_(std::move(host)),
      manager_(std::move(manager)),
      engine_(std::move(engine)),
      options_(options),
      record_step_(std::move(record_step)) {}

Json WebAgent::run(std::u32string_view instruction) {
  std::string text = text::encode(instruction);
  last_scan_.reset();
  StepTimer timer;
  try {
    Json value = execute(instruction, text);
    record_step_(timer.stamp(passed_step(text)));
    return value;
  } catch (const StepFailure& failure) {
    std::string message = with_snapshot(failure.what());
    record_step_(timer.stamp(failed_step(text, message, screenshot())));
    throw StepFailure(message);
  } catch (const std::exception& error) {
    // Anything unexpected still leaves its step in the report.
    record_step_(timer.stamp(failed_step(text, with_snapshot(step_failed(text, error.what())), screenshot())));
    throw;
  }
}

void WebAgent::open(const std::string& url) { navigate(url, "navigate " + url); }

Json WebAgent::execute(std::u32string_view instruction, const std::string& text) {
  if (manager_->closed()) throw StepFailure(step_failed(text, "the agent is closed."));
  ParsedStep step;
  try {
    step = parse(instruction);
  } catch (const std::invalid_argument& error) {
    throw StepFailure(step_failed(text, error.what()));
  }
  Route how = route(step);
  if (how == Route::dialog) return run_dialog_step(step, text);
  refuse_while_dialog(text);
  switch (how) {
    case Route::wait:
      return run_wait(step, text);
    case Route::navigate:
      navigate(text::encode(step.target.value_or(U"")), text);
      return nullptr;
    case Route::keys:
      return run_keys(step_record(step), text);
    default:
      return resolve_and_act(instruction, step, step_record(step), how, text);
  }
}

RunEnd WebAgent::guarded(std::function<void()> work, double timeout_ms) {
  BrowserManagerPtr manager = manager_;
  return host_->run_guarded(std::move(work), [manager] { return manager->has_dialog(); }, timeout_ms);
}

double WebAgent::action_timeout_ms() const {
  // Clicking and typing try up to three ways, each bounded by the page's own limit.
  return std::max(options_.timeout_ms, kMinActionTimeoutMs) * 3 + 5000;
}

void WebAgent::refuse_while_dialog(const std::string& text) {
  if (manager_->has_dialog()) throw StepFailure(dialog_pending_message(text, manager_->dialog_message()));
}

Json WebAgent::run_dialog_step(const ParsedStep& step, const std::string& text) {
  if (!manager_->has_dialog()) {
    // A dialog may still be on its way (a timer, a slow handler): wait for it.
    RemotePtr page = manager_->page();
    double wait = options_.timeout_ms;
    guarded([page, wait] { page->call("wait_for_timeout", {Json(wait)}); }, wait + 5000);
    if (!manager_->has_dialog()) throw StepFailure(no_dialog_message(text, wait));
  }
  EnginePtr engine = engine_;
  std::string action = step.action;
  auto message = std::make_shared<std::string>();
  auto error = std::make_shared<std::string>();
  RunEnd end = host_->run_guarded(
      [engine, action, message, error] {
        try {
          *message = engine->dialog(action);
        } catch (const std::runtime_error& e) {
          *error = e.what();
        }
      },
      [] { return false; }, action_timeout_ms());
  if (end == RunEnd::timed_out) throw StepFailure(timeout_message(text, action_timeout_ms()));
  if (!error->empty()) throw StepFailure(step_failed(text, *error));
  if (action != "verify_dialog") return *message;
  std::string expected = text::encode(step.value.value_or(U""));
  if (!text::contains(text::lower(text::decode(*message)), text::lower(text::decode(expected))))
    throw StepFailure(dialog_text_message(text, expected, *message));
  return true;
}

Json WebAgent::run_wait(const ParsedStep& step, const std::string& text) {
  std::string given = text::encode(step.target.value_or(U""));
  double ms = 0;
  if (!parse_milliseconds(given, ms)) throw StepFailure(bad_wait_message(text, given));
  RemotePtr page = manager_->page();
  RunEnd end = guarded([page, ms] { page->call("wait_for_timeout", {Json(ms)}); }, ms + 5000);
  if (end == RunEnd::timed_out) throw StepFailure(timeout_message(text, ms + 5000));
  return nullptr;
}

void WebAgent::navigate(const std::string& url, const std::string& text) {
  RemotePtr page = manager_->page();
  double limit = std::max(options_.timeout_ms, kMinActionTimeoutMs) * 3;
  auto error = std::make_shared<std::string>();
  RunEnd end = guarded(
      [page, url, limit, error] {
        try {
          page->call("goto", {Json(url)}, {{"wait_until", Json("load")}, {"timeout", Json(limit)}});
        } catch (const std::runtime_error& e) {
          *error = e.what();
        }
      },
      limit + 5000);
  if (end == RunEnd::timed_out) throw StepFailure(timeout_message(text, limit + 5000));
  if (!error->empty()) throw StepFailure(step_failed(text, *error));
}

Json WebAgent::run_keys(const Json& record, const std::string& text) {
  EnginePtr engine = engine_;
  auto error = std::make_shared<std::string>();
  RunEnd end = guarded(
      [engine, record, error] {
        try {
          engine->keys(record);
        } catch (const std::runtime_error& e) {
          *error = e.what();
        }
      },
      action_timeout_ms());
  if (end == RunEnd::timed_out) throw StepFailure(timeout_message(text, action_timeout_ms()));
  if (!error->empty()) throw StepFailure(step_failed(text, *error));
  return nullptr;
}

void WebAgent::wait_for_change(double pause_ms) {
  RemotePtr page = manager_->page();
  guarded(
      [page, pause_ms] {
        try {
          page->call("evaluate", {Json(kChangeScript), Json(pause_ms)});
        } catch (const std::runtime_error&) {
          // The page is navigating: the next scan sees the new one.
        }
      },
      pause_ms + 5000);
}

namespace {

struct Attempt {
  PageScan scan;
  Json result;
  std::string error;
};

}  // namespace

Json WebAgent::resolve_and_act(std::u32string_view instruction, const ParsedStep& step, const Json& record,
                               Route how, const std::string& text) {
  Json query = resolver_query(record, step, how);
  const std::string& action = step.action;
  EnginePtr engine = engine_;
  bool layout = how == Route::layout;
  auto started = Clock::now();
  std::shared_ptr<Attempt> last;
  for (int attempt = 0;; ++attempt) {
    auto current = std::make_shared<Attempt>();
    RunEnd end = guarded(
        [engine, current, query, layout] {
          try {
            current->scan = engine->scan();
            current->result = layout ? engine->resolve_layout(query, current->scan)
                                     : engine->resolve_direct(query, current->scan);
          } catch (const std::runtime_error& e) {
            current->error = e.what();  // e.g. the page navigated during the scan
          }
        },
        action_timeout_ms());
    if (end == RunEnd::interrupted) refuse_while_dialog(text);
    if (end == RunEnd::timed_out) throw StepFailure(timeout_message(text, action_timeout_ms()));
    last = current;
    if (current->error.empty()) {
      if (layout) judge_state(action, current->result);
      // A heading or plain text is present too, though nothing can be clicked there.
      if (!layout && !truth(current->result, "resolved") &&
          (action == "verify_present" || action == "verify_visible")) {
        Json text_query = query;
        text_query["action"] = action == "verify_present" ? "verify_text_present" : "verify_text_visible";
        Json by_text = engine->resolve_direct(text_query, current->scan);
        if (truth(by_text, "resolved")) current->result = by_text;
      }
      if (settled(current->result)) break;
    }
    auto pause = next_pause_ms(elapsed_ms(started), options_.timeout_ms, attempt);
    if (!pause) break;
    wait_for_change(*pause);
    refuse_while_dialog(text);
  }

  last_scan_ = std::shared_ptr<const PageScan>(last, &last->scan);
  const Json& result = last->result;
  std::string target = text_of(query, "target");
  if (!settled(result)) {
    if (!last->error.empty() && !result.is_object())
      throw StepFailure(step_failed(text, "the page could not be scanned: " + last->error));
    if (action == "verify_spatial_text") {
      const Json& state = result.is_object() ? result.value("state", Json::object()) : Json::object();
      std::string actual = text_of(state, "actual");
      throw StepFailure(text_message(text, text::encode(step.value.value_or(U"")),
                                     actual.empty() ? "no text in that direction" : actual));
    }
    if (truth(result, "resolved")) {
      throw StepFailure(state_message(text, text_of(result["element"], "text").empty()
                                                ? target
                                                : text_of(result["element"], "text"),
                                      wanted_state(action)));
    }
    Json near_misses = result.is_object() ? result.value("candidates", Json::array()) : Json::array();
    std::vector<std::string> near = near_misses.empty()
                                        ? near_candidates(target, last->scan.elements, last->scan.text_elements)
                                        : near_candidates(target, Json::array(), near_misses);
    throw StepFailure(miss_message(text, target, near));
  }
  if (is_check(action)) return true;
  if (action == "extract_text_spatial") return text_of(result, "extracted");
  return act(step, record, result["element"], text);
}

Json WebAgent::act(const ParsedStep& step, const Json& record, const Json& element, const std::string& text) {
  EnginePtr engine = engine_;
  auto out = std::make_shared<Json>(nullptr);
  auto error = std::make_shared<std::string>();
  RunEnd end = guarded(
      [engine, record, element, out, error] {
        try {
          *out = engine->act(record, element);
        } catch (const std::runtime_error& e) {
          *error = e.what();
        }
      },
      action_timeout_ms());
  if (end == RunEnd::interrupted) {
    // The action opened a native dialog: it stays pending for the next step.
    return step.action == "click" ? Json(text_of(element, "text")) : Json(nullptr);
  }
  if (end == RunEnd::timed_out) throw StepFailure(timeout_message(text, action_timeout_ms()));
  if (!error->empty()) throw StepFailure(step_failed(text, *error));
  return *out;
}

// The plug-in names the report's directory in VANTLE_REPORT_DIR; without it
// there is nowhere the user would look for the file.
std::string WebAgent::with_snapshot(const std::string& message) {
  std::string dir = last_scan_ ? host_->env("VANTLE_REPORT_DIR") : std::string();
  if (dir.empty()) return message;
  try {
    Json url = manager_->page()->attr("url")->value();
    std::string path = browser::write_snapshot((std::filesystem::path(dir) / "snapshots").string(),
                                               browser::local_timestamp(), url.is_string() ? url.get<std::string>() : "",
                                               last_scan_->elements, last_scan_->text_elements);
    return message + " Page snapshot: " + path;
  } catch (const std::exception&) {
    return message;  // a step's failure matters more than its snapshot
  }
}

std::string WebAgent::screenshot() {
  if (!options_.screenshots || !manager_->started() || manager_->closed() || manager_->has_dialog()) return {};
  std::shared_ptr<Host> host = host_;
  RemotePtr page = manager_->page();
  auto png = std::make_shared<std::string>();
  try {
    guarded([host, page, png] { *png = host->screenshot(page, kScreenshotMs); }, kScreenshotMs + 2000);
  } catch (const std::exception&) {
    return {};  // a step's failure matters more than its picture
  }
  return *png;
}

}  // namespace vantle::agent

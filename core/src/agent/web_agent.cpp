#include "vantle/agent/web_agent.h"
#include "vantle/records/json.h"

#include <algorithm>
#include <chrono>
#include <filesystem>

#include "page_scripts.h"
#include "vantle/agent/budgets.h"
#include "vantle/agent/messages.h"
#include "vantle/agent/navigation.h"
#include "vantle/agent/pipeline.h"
#include "vantle/agent/retry.h"
#include "vantle/agent/steps.h"
#include "vantle/agent/table_steps.h"
#include "vantle/browser/actions.h"
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

double elapsed_ms(Clock::time_point since) {
  return std::chrono::duration<double, std::milli>(Clock::now() - since).count();
}

bool is_check(const std::string& action) {
  return action.rfind("verify_", 0) == 0 || action == "find_text" || action == "find_exact_text";
}

}  // namespace

Json step_record(const ParsedStep& step) {
  Json record = Json::object();
  record["action"] = step.action;
  record["target"] = step.target ? Json(text::encode(*step.target)) : Json(nullptr);
  record["value"] = step.value ? Json(text::encode(*step.value)) : Json(nullptr);
  if (step.ordinal) record["ordinal"] = *step.ordinal;
  record["_literal_target"] = step.literal_target;
  if (step.row_number) record["row"] = *step.row_number;
  else if (step.row) record["row"] = text::encode(*step.row);
  if (step.column) record["column"] = text::encode(*step.column);
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
  last_resolution_.reset();
  StepTimer timer;
  auto stamp = [&timer](Json step) { return timer.stamp(std::move(step)); };
  try {
    Json value = execute(instruction, text);
    Json step = passed_step(text);
    if (last_resolution_ && !last_resolution_->matched_through.empty())
      step["message"] = matched_through_note(last_resolution_->matched_through);
    record_step_(timer.stamp(std::move(step)));
    return value;
  } catch (const StepFailure& failure) {
    fail(text, failure.what(), failure.cause(), stamp);
  } catch (const std::exception&) {
    // A step fails with a StepFailure and nothing else; what went wrong
    // underneath stays reachable as its cause.
    std::exception_ptr error = std::current_exception();
    fail(text, step_failed(text, host_->describe(error)), error, stamp);
  }
}

void WebAgent::fail(const std::string& text, const std::string& message, std::exception_ptr cause,
                    const std::function<Json(Json)>& stamp) {
  // A page caught mid-navigation would leave a blank screenshot.
  if (manager_->started() && !manager_->closed() && !manager_->has_dialog()) wait_for_load(kSettleMs);
  std::string full = with_snapshot(message, cause != nullptr);
  record_step_(stamp(failed_step(text, full, screenshot())));
  throw StepFailure(full, std::move(cause));
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
  follow_pages();
  switch (how) {
    case Route::wait:
      return run_wait(step, text);
    case Route::navigate:
      navigate(text::encode(step.target.value_or(U"")), text);
      return nullptr;
    case Route::keys: {
      EnginePtr engine = engine_;
      Json record = step_record(step);
      return act_on_page([engine, record] { return engine->keys(record), Json(nullptr); }, nullptr, text);
    }
    case Route::page:
      return run_page_step(step, text);
    default:
      return resolve_and_act(instruction, step, text);
  }
}

RunEnd WebAgent::guarded(std::function<void()> work, double timeout_ms) {
  BrowserManagerPtr manager = manager_;
  return host_->run_guarded(std::move(work), [manager] { return manager->has_dialog(); }, timeout_ms);
}

void WebAgent::refuse_while_dialog(const std::string& text) {
  if (manager_->has_dialog()) throw StepFailure(dialog_pending_message(text, manager_->dialog_message()));
}

Json WebAgent::run_dialog_step(const ParsedStep& step, const std::string& text) {
  if (!manager_->has_dialog()) {
    // A dialog may still be on its way (a timer, a slow handler): wait for it.
    RemotePtr page = manager_->page();
    double wait = options_.timeout_ms;
    guarded([page, wait] { page->call("wait_for_timeout", {Json(wait)}); }, wait + kGuardSlackMs);
    if (!manager_->has_dialog()) throw StepFailure(no_dialog_message(text, wait));
  }
  EnginePtr engine = engine_;
  std::string action = step.action;
  auto message = std::make_shared<std::string>();
  double limit = action_limit_ms(options_.timeout_ms);
  RunEnd end = host_->run_guarded([engine, action, message] { *message = engine->dialog(action); },
                                  [] { return false; }, limit);
  if (end == RunEnd::timed_out) throw StepFailure(timeout_message(text, limit));
  if (action != "verify_dialog") return *message;
  std::string expected = text::encode(step.value.value_or(U""));
  if (!text::contains(text::fold(text::decode(*message)), text::fold(text::decode(expected))))
    throw StepFailure(dialog_text_message(text, expected, *message));
  return true;
}

Json WebAgent::run_wait(const ParsedStep& step, const std::string& text) {
  std::string given = text::encode(step.target.value_or(U""));
  double ms = 0;
  if (!parse_milliseconds(given, ms)) throw StepFailure(bad_wait_message(text, given));
  RemotePtr page = manager_->page();
  RunEnd end = guarded([page, ms] { page->call("wait_for_timeout", {Json(ms)}); }, ms + kGuardSlackMs);
  if (end == RunEnd::timed_out) throw StepFailure(timeout_message(text, ms + kGuardSlackMs));
  return nullptr;
}

void WebAgent::navigate(const std::string& url, const std::string& text) {
  RemotePtr page = manager_->page();
  double limit = load_limit_ms(options_.timeout_ms);
  RunEnd end = guarded(
      [page, url, limit] {
        page->call("goto", {Json(url)}, {{"wait_until", Json("load")}, {"timeout", Json(limit)}});
      },
      limit + kGuardSlackMs);
  if (end == RunEnd::timed_out) throw StepFailure(timeout_message(text, limit + kGuardSlackMs));
}

Json WebAgent::act_on_page(std::function<Json()> action, Json if_dialog, const std::string& text,
                           std::function<bool()> driver_followed) {
  RemotePtr page = manager_->page();
  long token = ++navigation_token_;
  const bool premarked =
      (premarked_ == token && premarked_page_ && premarked_page_->same(*page)) || engine_->marked(token, page);
  engine_->mark_in_scans(0);
  premarked_ = 0;
  premarked_page_.reset();
  try {
    if (!premarked) guarded([page, token] { navigation::mark(page, token); }, kSettleMs);
  } catch (const std::exception&) {
    // Already navigating: an unmarked document counts as a new one.
  }
  auto out = std::make_shared<Json>(nullptr);
  double limit = action_limit_ms(options_.timeout_ms);
  RunEnd end = guarded([action, out] { *out = action(); }, limit);
  // The action opened a native dialog: it stays pending for the next step.
  if (end == RunEnd::interrupted) return if_dialog;
  if (end == RunEnd::timed_out) throw StepFailure(timeout_message(text, limit));
  // A navigation the driver waited for has committed already; asking again
  // would cost a call that waits out the page's work after the click.
  if (!driver_followed || !driver_followed()) follow_navigation(token);
  return *out;
}

// Playwright's own actions wait for a navigation they start to commit; keys
// and the agent's fallbacks do not, so the agent does it for all of them.
void WebAgent::follow_navigation(long token) {
  RemotePtr page = manager_->page();
  double limit = page_limit_ms(options_.timeout_ms);
  auto stayed = std::make_shared<bool>(false);
  try {
    guarded(
        [page, token, limit, stayed] {
          if (navigation::started(page, token, token + 1)) navigation::wait_for_commit(page, token, limit);
          else *stayed = true;
        },
        limit + kGuardSlackMs);
  } catch (const std::exception&) {
    // The action is done; whatever the page does next, the next scan sees.
  }
  if (*stayed) {
    premarked_ = token + 1;
    premarked_page_ = page;
  }
}

void WebAgent::wait_for_change(double pause_ms) {
  RemotePtr page = manager_->page();
  guarded(
      [page, pause_ms] {
        try {
          page->call("evaluate", {Json(kChangeScript), Json(pause_ms)});
        } catch (const std::exception&) {
          // The page is navigating: the next scan sees the new one.
        }
      },
      pause_ms + kGuardSlackMs);
}

void WebAgent::wait_for_load(double timeout_ms) {
  RemotePtr page = manager_->page();
  timeout_ms = std::max(timeout_ms, 1.0);  // Playwright reads 0 as "no limit"
  try {
    guarded([page, timeout_ms] { navigation::wait_for_load(page, timeout_ms); }, timeout_ms + kGuardSlackMs);
  } catch (const std::exception&) {
    // Nothing to wait for on a page that is gone; the caller finds out.
  }
}

namespace {

struct Attempt {
  PageScan scan;
  bool scanned = false;
  StepResolution resolution;
  std::exception_ptr error;
};

}  // namespace

Json WebAgent::resolve_and_act(std::u32string_view instruction, const ParsedStep& step, const std::string& text) {
  EnginePtr engine = engine_;
  BrowserManagerPtr manager = manager_;
  double limit = action_limit_ms(options_.timeout_ms);
  const Json record = step_record(step);
  const bool in_table = record.contains("row");
  // A missing file fails at once: no page state can bring it.
  const std::string file = step.action == "upload" ? upload_path(records::text_at(record, "value"), text) : std::string();
  auto started = Clock::now();
  std::shared_ptr<Attempt> last;
  // The scan that finds the target marks the page for the action on it.
  engine->mark_in_scans(navigation_token_ + 1);
  for (int attempt = 0;; ++attempt) {
    auto current = std::make_shared<Attempt>();
    RunEnd end = RunEnd::finished;
    try {
      end = guarded(
          [engine, manager, current, record, in_table] {
            manager->follow_new_pages();  // a page the last step opened, seen a little late
            current->scan = engine->scan();
            if (current->scan.opened_page && manager->await_new_page()) current->scan = engine->scan();
            if (in_table)
              current->scan.row = browser::Actions(manager->page()).find_cell(record["row"], record.value("column", Json()));
            current->scanned = true;
          },
          limit);
    } catch (const std::exception&) {
      current->error = std::current_exception();  // e.g. the page navigated during the scan
    }
    if (end == RunEnd::interrupted) refuse_while_dialog(text);
    if (end == RunEnd::timed_out) throw StepFailure(timeout_message(text, limit));
    last = current;
    if (current->scanned) {
      current->resolution = resolve_step(instruction, step, current->scan);
      last_scan_ = std::shared_ptr<const PageScan>(current, &current->scan);
      last_resolution_ = std::shared_ptr<const StepResolution>(current, &current->resolution);
      if (current->resolution.passed) {
        try {
          return finish(step, current->resolution, file, text);
        } catch (const StepFailure&) {
          throw;
        } catch (const std::exception& error) {
          // The element went away with its page: look again on the new one.
          if (!navigation::interrupted_by_navigation(error.what())) throw;
          current->error = std::current_exception();
        }
      }
    }
    auto pause = next_pause_ms(elapsed_ms(started), options_.timeout_ms, attempt);
    if (!pause) break;
    if (current->error) {
      wait_for_load(options_.timeout_ms - elapsed_ms(started));
    } else {
      wait_for_change(*pause);
    }
    refuse_while_dialog(text);
  }
  if (last->error && (!last->scanned || last->resolution.passed)) {
    if (last->resolution.passed) std::rethrow_exception(last->error);
    throw StepFailure(step_failed(text, "the page could not be scanned: " + host_->describe(last->error)),
                      last->error);
  }
  throw StepFailure(last->resolution.message);
}

Json WebAgent::finish(const ParsedStep& step, const StepResolution& resolution, const std::string& file,
                      const std::string& text) {
  const Json& result = resolution.result;
  if (is_check(step.action)) return true;
  if (step.action == "extract_text_spatial" || step.action == "extract_cell") return records::text_at(result, "extracted");
  const Json& element = result["element"];
  Json record = step_record(step);
  if (!resolution.destination.is_null()) record["destination"] = resolution.destination["element"];
  if (step.action == "upload") record["value"] = file;
  EnginePtr engine = engine_;
  Json if_dialog = step.action == "click" ? Json(records::text_at(element, "text")) : Json(nullptr);
  return act_on_page([engine, record, element] { return engine->act(record, element); }, if_dialog, text,
                     [engine] { return engine->driver_followed(); });
}

// The plug-in names the report's directory in VANTLE_REPORT_DIR; without it
// there is nowhere the user would look for the file.
std::string WebAgent::with_snapshot(const std::string& message, bool look_now) {
  std::string dir = host_->env("VANTLE_REPORT_DIR");
  if (dir.empty() || !manager_->started() || manager_->closed()) return message;
  try {
    if (!last_scan_ && look_now && !manager_->has_dialog()) {
      // Something unexpected stopped the step before it looked at the page.
      auto fresh = std::make_shared<PageScan>();
      EnginePtr engine = engine_;
      if (guarded([engine, fresh] { *fresh = engine->scan(); }, kSettleMs) == RunEnd::finished) last_scan_ = fresh;
    }
    if (!last_scan_) return message;
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
    guarded([host, page, png] { *png = host->screenshot(page, kScreenshotMs); }, kScreenshotMs + kGuardSlackMs);
  } catch (const std::exception&) {
    return {};  // a step's failure matters more than its picture
  }
  return *png;
}

}  // namespace vantle::agent

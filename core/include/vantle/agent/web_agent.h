#pragma once
/// Runs plain-English steps: parse, scan, resolve, act, record. A step that
/// does not resolve is tried again on a fresh scan until it does or the
/// step's time is up. No step waits on a native dialog: a step that opens one
/// returns with it pending, and the next dialog step handles it.

#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json.hpp>

#include "vantle/agent/browser_manager.h"
#include "vantle/agent/engine.h"
#include "vantle/agent/host.h"
#include "vantle/agent/pipeline.h"
#include "vantle/agent/routing.h"

namespace vantle::agent {

using Json = nlohmann::ordered_json;

/// A failed step. what() is the step record's message; cause() is the
/// unexpected error behind it, when there was one.
class StepFailure : public std::runtime_error {
 public:
  explicit StepFailure(const std::string& message, std::exception_ptr cause = nullptr)
      : std::runtime_error(message), cause_(std::move(cause)) {}
  std::exception_ptr cause() const { return cause_; }

 private:
  std::exception_ptr cause_;
};

struct AgentOptions {
  bool screenshots = false;
  double timeout_ms = 5000;
  /// Folders a relative upload path is looked up in, in order (the test
  /// file's, the configuration's); the working directory comes last.
  std::vector<std::string> file_roots = {};
};

class WebAgent {
 public:
  WebAgent(std::shared_ptr<Host> host, BrowserManagerPtr manager, EnginePtr engine, AgentOptions options,
           std::function<void(const Json&)> record_step);

  /// Runs one instruction. Returns the clicked or extracted text, the dialog
  /// message, true for a passing check, or null. Throws StepFailure.
  Json run(std::u32string_view instruction);

  /// Loads an address and waits for its load event.
  void open(const std::string& url);

  /// The last step's final look at the page and what it made of it (null
  /// for steps that do not look at the page).
  const PageScan* last_scan() const { return last_scan_.get(); }
  const StepResolution* last_resolution() const { return last_resolution_.get(); }

 private:
  Json execute(std::u32string_view instruction, const std::string& text);
  [[noreturn]] void fail(const std::string& text, const std::string& message, std::exception_ptr cause,
                         const std::function<Json(Json)>& stamp);
  Json run_dialog_step(const ParsedStep& step, const std::string& text);
  Json run_wait(const ParsedStep& step, const std::string& text);
  Json resolve_and_act(std::u32string_view instruction, const ParsedStep& step, const std::string& text);
  Json finish(const ParsedStep& step, const StepResolution& resolution, const std::string& file,
              const std::string& text);
  Json act_on_page(std::function<Json()> action, Json if_dialog, const std::string& text,
                   std::function<bool()> driver_followed = nullptr);
  void follow_navigation(long token);
  Json run_page_step(const ParsedStep& step, const std::string& text);
  void follow_pages();
  void switch_tab(const ParsedStep& step, const std::string& text);
  Json check_page(const ParsedStep& step, const std::string& text);
  std::string upload_path(const std::string& given, const std::string& text) const;
  void navigate(const std::string& url, const std::string& text);
  void refuse_while_dialog(const std::string& text);
  void wait_for_change(double pause_ms);
  void wait_for_load(double timeout_ms);
  RunEnd guarded(std::function<void()> work, double timeout_ms);
  std::string screenshot();
  std::string with_snapshot(const std::string& message, bool look_now);

  std::shared_ptr<Host> host_;
  BrowserManagerPtr manager_;
  EnginePtr engine_;
  AgentOptions options_;
  std::function<void(const Json&)> record_step_;
  // The current step's latest scan, kept so that a failure can leave it
  // next to the report for `vantle explain`.
  std::shared_ptr<const PageScan> last_scan_;
  std::shared_ptr<const StepResolution> last_resolution_;
  long navigation_token_ = 0;  // marks the document each action starts on
  // The page the last action stayed on, already marked for the next one.
  RemotePtr premarked_page_;
  long premarked_ = 0;
};

/// The parsed step as the modules' record: action, target, value, ordinal
/// (click and extract only), _literal_target.
Json step_record(const ParsedStep& step);

}  // namespace vantle::agent

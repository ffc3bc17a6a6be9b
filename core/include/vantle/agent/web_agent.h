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

#include <nlohmann/json.hpp>

#include "vantle/agent/browser_manager.h"
#include "vantle/agent/engine.h"
#include "vantle/agent/host.h"
#include "vantle/agent/routing.h"

namespace vantle::agent {

using Json = nlohmann::ordered_json;

/// A failed step. what() is the step record's message.
class StepFailure : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

struct AgentOptions {
  bool screenshots = false;
  double timeout_ms = 5000;
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

 private:
  Json execute(std::u32string_view instruction, const std::string& text);
  Json run_dialog_step(const ParsedStep& step, const std::string& text);
  Json run_wait(const ParsedStep& step, const std::string& text);
  Json run_keys(const Json& record, const std::string& text);
  Json resolve_and_act(std::u32string_view instruction, const ParsedStep& step, const Json& record,
                       Route route, const std::string& text);
  Json act(const ParsedStep& step, const Json& record, const Json& element, const std::string& text);
  void navigate(const std::string& url, const std::string& text);
  void refuse_while_dialog(const std::string& text);
  void wait_for_change(double pause_ms);
  RunEnd guarded(std::function<void()> work, double timeout_ms);
  std::string screenshot();
  double action_timeout_ms() const;
  std::string with_snapshot(const std::string& message);

  std::shared_ptr<Host> host_;
  BrowserManagerPtr manager_;
  EnginePtr engine_;
  AgentOptions options_;
  std::function<void(const Json&)> record_step_;
  // The current step's latest scan, kept so that a failure can leave it
  // next to the report for `vantle explain`.
  std::shared_ptr<const PageScan> last_scan_;
};

/// The parsed step as the modules' record: action, target, value, ordinal
/// (click and extract only), _literal_target.
Json step_record(const ParsedStep& step);

}  // namespace vantle::agent

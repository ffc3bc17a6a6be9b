#pragma once
/// The run's browser options, as a pytest browser plug-in offers them: each
/// has a command-line flag and a key in the project configuration; the
/// command line beats the configuration, which beats the default.

#include <nlohmann/json.hpp>

#include "vantle/agent/web_agent.h"

#include <optional>
#include <string>
#include <vector>

namespace vantle::harness {

using Json = nlohmann::ordered_json;

/// When a per-test recording (trace, video) is made and kept.
enum class Keep { off, on, retain_on_failure };
/// When a test gets a screenshot of its page.
enum class Shots { off, on, only_on_failure };

/// One option: its flag, its configuration key, and how the flag is declared.
struct OptionSpec {
  const char* flag;
  const char* key;
  const char* metavar;  ///< null: a flag that takes no value
  const char* help;
  std::vector<std::string> choices;  ///< empty: any value
};

/// Every run option, in the order `pytest --help` lists them.
const std::vector<OptionSpec>& option_specs();

struct RunOptions {
  bool headed = false;
  double slowmo_ms = 0;
  double timeout_ms = agent::AgentOptions{}.timeout_ms;  ///< the step timeout
  std::optional<std::string> base_url;
  Keep tracing = Keep::off;
  Keep video = Keep::off;
  Shots screenshot = Shots::only_on_failure;
};

/// The options from the command line's values and the configuration record,
/// both keyed by configuration key (a null or missing command-line value was
/// not given). Throws std::invalid_argument naming the bad value.
RunOptions resolve_options(const Json& command_line, const Json& config);

/// The options as the README's table and the configuration write them:
/// {HEADED, SLOWMO, TIMEOUT, URL, TRACING, VIDEO, SCREENSHOT}.
Json options_record(const RunOptions& options);

/// Whether a recording made under `mode` is kept for a test that did or did
/// not fail.
bool keep_recording(Keep mode, bool failed);

/// Whether the test itself gets a screenshot once it ends; a failed step
/// that already carries one makes another unnecessary.
bool test_screenshot(Shots mode, bool failed, bool step_has_screenshot);

/// A file name for a test's recording: its node id with every character
/// that is not a letter, digit, '.', '_' or '-' made '-', and `extension`.
std::string artifact_name(const std::string& nodeid, const std::string& extension);

/// The browser server addresses of a setting that may list several,
/// separated by commas or white space.
std::vector<std::string> endpoint_list(const std::string& text);

/// The server a pytest-xdist worker ("gw0", "gw1", ...) uses: round-robin
/// over the list; the first for a run without workers. Empty list: "".
std::string endpoint_for_worker(const std::vector<std::string>& endpoints, const std::string& worker);

}  // namespace vantle::harness

#pragma once
/// Offline explanation of one instruction against a saved DOM snapshot: which
/// resolver the agent would use, the element it would pick, and the ranked
/// candidates with the rule that put them in that order.

#include <stdexcept>
#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

#include "vantle/agent/engine.h"
#include "vantle/cli/cli.h"

namespace vantle::explain {

using Json = nlohmann::ordered_json;

/// A snapshot or instruction that cannot be explained at all. what() says why.
class BadInput : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

/// The records of a snapshot ({"url", "elements", "text_elements"}).
/// Throws BadInput when the JSON does not have that layout.
agent::PageScan scan_of(const Json& snapshot);

/// Parses the text of a snapshot file. Throws BadInput on malformed JSON.
Json parse_snapshot(std::string_view file_text);

/// The explanation record: instruction, url, parsed, strategy, query,
/// resolved, passed, message (when it fails), element, anchor, rule, candidates, set_aside, result. Throws
/// BadInput for an instruction that does not parse.
Json explain(const Json& snapshot, std::u32string_view instruction);

/// The explanation as text for a terminal.
std::string render(const Json& explanation);

/// `vantle explain SNAPSHOT.json INSTRUCTION`: exit 0 when the step
/// passes on the snapshot, 1 when it fails, 2 for unreadable or malformed input.
cli::Command explain_command();

}  // namespace vantle::explain

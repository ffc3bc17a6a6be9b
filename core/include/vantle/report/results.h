#pragma once
/// Result records of test phases and the figures summed over them.

#include <nlohmann/json.hpp>

#include <string>
#include <string_view>
#include <utility>

namespace vantle::report {

using Json = nlohmann::ordered_json;

/// (file, test): the node id before the first "::", and the rest (empty
/// when there is no "::").
std::pair<std::string, std::string> split_nodeid(std::string_view nodeid);

/// Whether a phase gets a result record: every call, and a set-up that did
/// not pass (a failed one, or one skipped by a marker, which has no call).
bool records_phase(std::string_view when, bool passed);

/// Status of a phase report from its outcome flags.
std::string phase_status(bool passed, bool failed);

/// The result record {nodeid, file, test, status, duration, message, when}.
Json result_record(const std::string& nodeid, const std::string& status, double duration,
                   const std::string& message, const std::string& when);

/// Last line of a failure text once trimmed of surrounding white space.
std::string last_line(std::string_view text);

struct Summary {
  long total = 0;
  long passed = 0;
  long failed = 0;
  long skipped = 0;
  long pass_rate = 0;  ///< per cent, nearest integer, ties to even
};

/// Counts by status over the result records, and the pass rate.
Summary summarize(const Json& results);

/// passed / total * 100 to the nearest integer (ties to even); 0 for no tests.
long pass_rate(long passed, long total);

/// Seconds rounded to 2 decimals in their shortest form ("1.5", "12.0").
std::string short_seconds(double seconds);

/// Seconds with exactly 2 decimals ("0.10").
std::string fixed_seconds(double seconds);

}  // namespace vantle::report

namespace vantle::report {

/// A copy of a test's step records without the screenshots of passed steps,
/// which the report never shows.
Json lean_steps(const Json& steps);

}  // namespace vantle::report

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

/// Status of a phase report from its outcome flags. A test marked as an
/// expected failure is "xfailed" when it failed and "xpassed" when it passed,
/// as pytest's summary line counts them.
std::string phase_status(bool passed, bool failed, bool expected_to_fail = false);

/// The result record {nodeid, file, test, status, duration, message, when}.
Json result_record(const std::string& nodeid, const std::string& status, double duration,
                   const std::string& message, const std::string& when);

/// Why a test failed, as the report shows it when no step says so.
struct FailureDetail {
  std::string where;      ///< "FILE:LINE: source" of the test's own failing line
  std::string traceback;  ///< the runner's full failure text
};

/// Adds the keys the report shows beside the result record's own, each only
/// when it has something to say: reason (of a skip or an expected failure),
/// where and traceback (of a failure).
void add_details(Json& record, const std::string& reason, const FailureDetail& failure);

/// The reason in a skip message as the runner words it ("Skipped: why").
std::string skip_reason(std::string_view text);

/// Last line of a failure text once trimmed of surrounding white space.
std::string last_line(std::string_view text);

struct Summary {
  long total = 0;
  long passed = 0;
  long failed = 0;
  long skipped = 0;
  long xfailed = 0;
  long xpassed = 0;
  long pass_rate = 0;  ///< per cent, nearest integer, ties to even
};

/// Counts by status over the result records, and the pass rate: passed over
/// all tests, expected failures and unexpected passes counted apart.
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

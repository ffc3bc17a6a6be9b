#pragma once
/// The self-contained HTML report of a test run.

#include "vantle/report/results.h"

#include <string>

namespace vantle::report {

/// The whole HTML document for `results` (result records in arrival order)
/// and `steps` (node id to that test's step records), after `elapsed`
/// seconds. Every inserted value is escaped for its context; a step's
/// screenshot is embedded only when the step did not pass.
std::string render(const Json& results, const Json& steps, double elapsed);

}  // namespace vantle::report

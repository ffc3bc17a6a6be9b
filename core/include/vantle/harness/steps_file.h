#pragma once
/// Plain-English test files (test_*.steps): one instruction per line, "#"
/// comments and blank lines skipped. A file is one test, or several when
/// lines "## <test name>" start them.

#include <string>
#include <string_view>
#include <vector>

#include "vantle/language/instruction_file.h"

namespace vantle::harness {

/// One instruction and its 1-based line number in the file.
using StepLine = language::FileLine;

struct StepsTest {
  std::u32string name;
  int line = 1;  ///< where the test starts: its "##" line, else 1
  std::vector<StepLine> steps;
};

/// A problem found before anything runs, at its line.
struct StepsIssue {
  int line = 0;
  std::u32string message;
};

struct StepsFile {
  std::vector<StepsTest> tests;
  /// Layout problems and every instruction's syntax issues, in line order.
  std::vector<StepsIssue> issues;
};

/// Splits and checks a file's text. `default_name` names the test of a file
/// without "##" lines.
StepsFile read_steps(std::string_view content, std::u32string_view default_name);

/// "FILE:LINE: issue", one line per issue.
std::string issue_report(const StepsFile& file, std::string_view path);

/// "FILE:LINE: message" for a step that failed.
std::string step_failure(std::string_view path, int line, std::string_view message);

}  // namespace vantle::harness

#include "vantle/harness/steps_file.h"

#include <algorithm>
#include <set>

#include "vantle/agent/step_parser.h"
#include "vantle/text/text.h"

namespace vantle::harness {

namespace {

void check_layout(StepsFile& file, const std::vector<StepLine>& loose, bool sectioned) {
  if (sectioned && !loose.empty())
    file.issues.push_back({loose.front().line, U"Instruction before the first '## <test name>' line belongs to no test."});
  std::set<std::u32string> names;
  for (const auto& test : file.tests) {
    if (test.name.empty()) file.issues.push_back({test.line, U"Test name missing after '##'."});
    else if (!names.insert(text::lower(test.name)).second)
      file.issues.push_back({test.line, U"Test name " + text::quoted(test.name) + U" is used twice in this file."});
    if (test.steps.empty())
      file.issues.push_back({test.line, sectioned ? U"Test " + text::quoted(test.name) + U" has no instructions."
                                                  : std::u32string(U"The file holds no instructions.")});
  }
}

void check_syntax(StepsFile& file) {
  std::vector<const StepLine*> all;
  for (const auto& test : file.tests)
    for (const auto& step : test.steps) all.push_back(&step);
  std::vector<std::u32string> texts;
  for (const auto* step : all) texts.push_back(step->text);
  for (const auto& [index, messages] : agent::validate_all(texts)) {
    for (const auto& message : messages) file.issues.push_back({all[static_cast<size_t>(index - 1)]->line, message});
  }
}

}  // namespace

StepsFile read_steps(std::string_view content, std::u32string_view default_name) {
  StepsFile file;
  language::InstructionFile read = language::read_instruction_file(content);
  const std::vector<StepLine>& loose = read.loose;
  for (auto& section : read.sections) file.tests.push_back({section.name, section.line, std::move(section.steps)});
  bool sectioned = !file.tests.empty();
  if (!sectioned) file.tests.push_back({std::u32string(default_name), 1, loose});
  check_layout(file, sectioned ? loose : std::vector<StepLine>{}, sectioned);
  check_syntax(file);
  std::stable_sort(file.issues.begin(), file.issues.end(),
                   [](const StepsIssue& a, const StepsIssue& b) { return a.line < b.line; });
  return file;
}

std::string issue_report(const StepsFile& file, std::string_view path) {
  std::string out;
  for (const auto& issue : file.issues) {
    out += (out.empty() ? "" : "\n") + step_failure(path, issue.line, text::encode(issue.message));
  }
  return out;
}

std::string step_failure(std::string_view path, int line, std::string_view message) {
  return std::string(path) + ":" + std::to_string(line) + ": " + std::string(message);
}

}  // namespace vantle::harness

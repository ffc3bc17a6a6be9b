#include "vantle/agent/step_parser.h"
#include "vantle/cli/cli.h"
#include "vantle/language/instruction_file.h"
#include "vantle/text/text.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <optional>

namespace vantle::cli {

namespace {

const char* const validate_help =
    "usage: vantle validate FILE...\n"
    "\n"
    "Check plain-English instruction files for syntax issues without opening a\n"
    "browser. Each line holds one instruction; blank lines and lines whose first\n"
    "non-blank character is '#' are skipped, and line numbers are the file's own.\n"
    "\n"
    "Prints 'FILE:LINE: issue' for every issue, then a one-line summary.\n"
    "\n"

    "exit status:\n"
    "  0  every instruction is clean\n"
    "  1  at least one issue was found\n"
    "  2  a file could not be read, or the arguments are wrong\n";

struct ReadResult {
  std::optional<std::string> content;
  std::string error;
};

ReadResult read_file(const std::string& path) {
  errno = 0;
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) return {std::nullopt, std::strerror(errno)};
  std::string data;
  char buf[1 << 16];
  size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) data.append(buf, n);
  int err = errno;
  bool failed = std::ferror(f);
  std::fclose(f);
  if (failed) return {std::nullopt, std::strerror(err ? err : EIO)};
  return {std::move(data), ""};
}

std::string plural(size_t n, const std::string& word) {
  return std::to_string(n) + " " + word + (n == 1 ? "" : "s");
}

struct Tally {
  size_t files = 0, instructions = 0, issues = 0, files_with_issues = 0, unreadable = 0;
};

std::string summary(const Tally& t) {
  std::string line;
  if (t.files > 0 || t.unreadable == 0) {
    line = t.issues == 0 ? plural(t.files, "file") + ", " + plural(t.instructions, "instruction") + ": no issues"
                         : plural(t.issues, "issue") + " in " + std::to_string(t.files_with_issues) + " of " +
                               plural(t.files, "file");
  }
  if (t.unreadable > 0) line += (line.empty() ? "" : "; ") + plural(t.unreadable, "file") + " could not be read";
  return line + "\n";
}

void check_file(const std::string& path, const std::string& content, Tally& tally, std::string& out) {
  std::vector<language::FileLine> found = language::read_instruction_file(content).all();
  std::vector<std::u32string> texts;
  for (const auto& line : found) texts.push_back(line.text);
  auto issues = agent::validate_all(texts);
  ++tally.files;
  tally.instructions += found.size();
  if (!issues.empty()) ++tally.files_with_issues;
  for (const auto& [index, messages] : issues) {
    std::string where = path + ":" + std::to_string(found[static_cast<size_t>(index - 1)].line) + ": ";
    for (const auto& message : messages) out += where + text::encode(message) + "\n";
    tally.issues += messages.size();
  }
}

std::optional<std::string> bad_argument(const std::vector<std::string>& args, std::vector<std::string>& paths) {
  bool options_done = false;
  for (const auto& arg : args) {
    if (!options_done && arg == "--") {
      options_done = true;
    } else if (!options_done && arg.size() > 1 && arg[0] == '-') {
      return "unknown option '" + arg + "'";
    } else {
      paths.push_back(arg);
    }
  }
  if (paths.empty()) return "no instruction file given";
  return std::nullopt;
}

Outcome run_validate(const std::vector<std::string>& args) {
  std::vector<std::string> paths;
  if (auto problem = bad_argument(args, paths))
    return {usage_error, "", "vantle validate: " + *problem + "\nRun 'vantle validate --help' for usage.\n"};
  return validate_files(paths);
}

}  // namespace

Outcome validate_files(const std::vector<std::string>& paths) {
  Outcome outcome;
  Tally tally;
  for (const auto& path : paths) {
    ReadResult read = read_file(path);
    if (!read.content) {
      ++tally.unreadable;
      outcome.err += "vantle validate: cannot read " + path + ": " + read.error + "\n";
      continue;
    }
    check_file(path, *read.content, tally, outcome.out);
  }
  outcome.out += summary(tally);
  outcome.exit_code = tally.unreadable > 0 ? usage_error : tally.issues > 0 ? 1 : 0;
  return outcome;
}

Command validate_command() {
  return {"validate", "Check instruction files for syntax issues without running them.", validate_help,
          run_validate, "vantle validate tests/login.steps tests/checkout.steps"};
}

}  // namespace vantle::cli

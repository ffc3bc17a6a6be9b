#include <cerrno>
#include <cstring>
#include <fstream>
#include <sstream>

#include "vantle/explain/explain.h"
#include "vantle/text/text.h"

namespace vantle::explain {

namespace {

const char* const explain_help =
    "usage: vantle explain SNAPSHOT.json INSTRUCTION\n"
    "\n"
    "Resolve one instruction offline against a saved DOM snapshot (the JSON file a\n"
    "scan writes) the way the agent would, and show the parsed instruction, the\n"
    "strategy used, the chosen element and the ranked candidates with the rule\n"
    "that ordered them.\n"
    "\n"
    "exit status:\n"
    "  0  the step passes on this snapshot\n"
    "  1  it fails (nothing matched, or the element is not in the asserted state)\n"
    "  2  the snapshot could not be read or is malformed, the instruction does\n"
    "     not parse, or the arguments are wrong\n";

cli::Outcome trouble(const std::string& message) {
  return {cli::usage_error, "", "vantle explain: " + message + "\n"};
}

std::string read_file(const std::string& path) {
  errno = 0;
  std::ifstream in(path, std::ios::binary);
  if (!in) throw BadInput("cannot read " + path + ": " + std::strerror(errno ? errno : ENOENT));
  std::ostringstream data;
  data << in.rdbuf();
  if (in.bad()) throw BadInput("cannot read " + path + ": " + std::strerror(errno ? errno : EIO));
  return data.str();
}

bool split_arguments(const std::vector<std::string>& args, std::vector<std::string>& positional,
                     std::string& problem) {
  bool options_done = false;
  for (const auto& arg : args) {
    if (!options_done && arg == "--") {
      options_done = true;
    } else if (!options_done && arg.size() > 1 && arg[0] == '-') {
      problem = "unknown option '" + arg + "'";
      return false;
    } else {
      positional.push_back(arg);
    }
  }
  if (positional.size() == 2) return true;
  problem = positional.size() < 2 ? "expected a snapshot file and an instruction" : "too many arguments";
  return false;
}

cli::Outcome run_explain(const std::vector<std::string>& args) {
  std::vector<std::string> positional;
  std::string problem;
  if (!split_arguments(args, positional, problem))
    return trouble(problem + "\nRun 'vantle explain --help' for usage.");
  const std::string& path = positional[0];
  try {
    Json snapshot = parse_snapshot(read_file(path));
    Json explanation;
    try {
      explanation = explain(snapshot, text::decode(positional[1]));
    } catch (const BadInput& error) {
      if (std::strncmp(error.what(), "Unrecognised instruction", 24) == 0 ||
          std::strncmp(error.what(), "Malformed instruction", 21) == 0)
        return trouble(error.what());
      throw;
    }
    return {explanation.value("passed", false) ? 0 : 1, render(explanation), ""};
  } catch (const BadInput& error) {
    std::string what = error.what();
    return trouble(what.rfind("cannot read ", 0) == 0 ? what : path + ": " + what);
  }
}

}  // namespace

cli::Command explain_command() {
  return {"explain", "Show how an instruction resolves against a saved DOM snapshot.", explain_help,
          run_explain,
          "vantle explain test_report/snapshots/20261208_101500_http_127.0.0.1:8000_index.html.json "
          "'click \"Log in\" below \"Password\"'"};
}

}  // namespace vantle::explain

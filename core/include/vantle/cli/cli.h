#pragma once
/// The `vantle` command line: a table of subcommands and the dispatcher that
/// picks one. Commands return their output as text and an exit code, so the
/// caller decides where the text goes.

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace vantle::cli {

/// What one run produced: text for standard output and standard error
/// (UTF-8, file names as given) and the process exit code.
struct Outcome {
  int exit_code = 0;
  std::string out;
  std::string err;
};

/// Exit code for wrong arguments and unreadable input.
constexpr int usage_error = 2;

/// One subcommand. `run` receives the arguments after the command name, with
/// `-h`/`--help` already handled by the dispatcher.
struct Command {
  std::string name;
  std::string summary;  ///< one line, for `vantle --help`
  std::string help;     ///< full text, for `vantle <name> --help`
  std::function<Outcome(const std::vector<std::string>& args)> run;
  std::string example;  ///< one typical command line, for `vantle --help`
};

/// The installed package's version, as `vantle --version` prints it.
std::string version();

/// Runs `vantle` with `args` (program name excluded) against `commands`.
/// A new subcommand needs only a new entry in the table.
Outcome run(const std::vector<std::string>& args, const std::vector<Command>& commands);

/// The subcommands implemented in the core, in the order `--help` lists them.
std::vector<Command> core_commands();

/// `vantle validate FILE...`: checks instruction files line by line.
Command validate_command();

/// Validates the given files and renders the report.
Outcome validate_files(const std::vector<std::string>& paths);

}  // namespace vantle::cli

#include "vantle/cli/cli.h"

#include <algorithm>

namespace vantle::cli {

namespace {

bool is_help(const std::string& arg) { return arg == "-h" || arg == "--help"; }

std::string usage(const std::vector<Command>& commands) {
  std::string text =
      "usage: vantle <command> [options]\n"
      "\n"
      "Tools for plain-English web test instructions.\n"
      "\n"
      "commands:\n";
  for (const auto& c : commands) {
    std::string name = c.name;
    name.resize(std::max<size_t>(name.size() + 2, 12), ' ');
    text += "  " + name + c.summary + "\n";
  }
  text += "\nRun 'vantle <command> --help' for the details of one command.\n";
  return text;
}

Outcome fail(std::string message, const std::vector<Command>& commands) {
  return {usage_error, "", "vantle: " + message + "\n\n" + usage(commands)};
}

// Help is asked for when -h/--help comes before any "--" end-of-options mark.
bool wants_help(const std::vector<std::string>& args) {
  for (const auto& arg : args) {
    if (arg == "--") return false;
    if (is_help(arg)) return true;
  }
  return false;
}

}  // namespace

Outcome run(const std::vector<std::string>& args, const std::vector<Command>& commands) {
  if (args.empty()) return fail("no command given", commands);
  if (is_help(args[0])) return {0, usage(commands), ""};
  auto command = std::find_if(commands.begin(), commands.end(),
                              [&](const Command& c) { return c.name == args[0]; });
  if (command == commands.end()) return fail("unknown command '" + args[0] + "'", commands);
  std::vector<std::string> rest(args.begin() + 1, args.end());
  if (wants_help(rest)) return {0, command->help, ""};
  return command->run(rest);
}

std::vector<Command> core_commands() { return {validate_command()}; }

}  // namespace vantle::cli

#include "vantle/cli/cli.h"

#include <algorithm>

#ifndef VANTLE_VERSION
#error "VANTLE_VERSION comes from pyproject.toml through CMakeLists.txt"
#endif

namespace vantle::cli {

namespace {

bool is_help(const std::string& arg) { return arg == "-h" || arg == "--help"; }

std::string padded(std::string name) {
  name.resize(std::max<size_t>(name.size() + 2, 12), ' ');
  return name;
}

std::string usage(const std::vector<Command>& commands) {
  std::string text =
      "usage: vantle <command> [options]\n"
      "\n"
      "Tools for plain-English web test instructions.\n"
      "\n"
      "commands:\n";
  for (const auto& c : commands) text += "  " + padded(c.name) + c.summary + "\n";
  text += "\nexamples:\n";
  for (const auto& c : commands)
    if (!c.example.empty()) text += "  " + c.example + "\n";
  text +=
      "\noptions:\n"
      "  -h, --help  show this help\n"
      "  --version   show the installed version\n"
      "\nRun 'vantle <command> --help' for the details of one command.\n";
  return text;
}

std::string help_of(const Command& c) {
  if (c.example.empty()) return c.help;
  return c.help + "\nexample:\n  " + c.example + "\n";
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
  if (args[0] == "--version") return {0, "vantle " + version() + "\n", ""};
  auto command = std::find_if(commands.begin(), commands.end(),
                              [&](const Command& c) { return c.name == args[0]; });
  if (command == commands.end()) return fail("unknown command '" + args[0] + "'", commands);
  std::vector<std::string> rest(args.begin() + 1, args.end());
  if (wants_help(rest)) return {0, help_of(*command), ""};
  return command->run(rest);
}

std::string version() { return VANTLE_VERSION; }

std::vector<Command> core_commands() { return {validate_command()}; }

}  // namespace vantle::cli

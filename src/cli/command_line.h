#pragma once

#include <map>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "cli/cli_commands.h"
#include "cli/command_table.h"

namespace vellumar::cli {

// What a command was given: its operand (DRIVE or DEVICE), the flags and the option values.
struct CommandLine {
  std::string Operand;
  std::set<std::string, std::less<>> Flags;
  std::map<std::string, std::string, std::less<>> Values;

  bool Flag(std::string_view name) const { return Flags.contains(name); }
  // Empty when the option was not given.
  std::string Value(std::string_view name) const;
};

// Parses a command's arguments (without the command's name) by its table entry. Options may come
// before or after the operand; "--" ends the options. Empty when the command goes on; otherwise
// the exit status to end with: 0 after --help (printed to standard output), 5 after a usage
// error (the message and a hint on standard error).
std::optional<int> ParseCommandLine(const CommandSpec& spec, const std::vector<std::string>& args, CommandLine& line,
                                    CliEnvironment& env);

// A command's --help: usage, options and exit statuses.
std::string CommandHelp(const CommandSpec& spec);

// vellumar-cli --help: every command with its synopsis.
std::string UsageText();

}  // namespace vellumar::cli

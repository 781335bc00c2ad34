#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace vellumar::cli {

// One option of a command. The parser, each command's --help, the manual page and the bash
// completion all follow this table; tests hold the last two to it.
struct OptionSpec {
  std::string_view Name;       // "--serial"
  std::string_view ValueName;  // "S"; empty for a flag
  std::string_view Help;
  std::string_view Needs = {};  // the usage error when the value is missing
};

struct CommandSpec {
  std::string_view Name;     // "format", or "certificate verify" for a command of two words
  std::string_view Operand;  // "DEVICE", "DRIVE", or empty for a command that takes none
  std::string Synopsis;      // the usage line after "vellumar-cli NAME"
  std::string_view Summary;
  std::vector<OptionSpec> Options;
  std::string_view ExitStatuses;  // one "  N  meaning" line each
};

// Every command of vellumar-cli, in the order --help lists them.
const std::vector<CommandSpec>& Commands();

// The command called `name`, or null.
const CommandSpec* FindCommand(std::string_view name);

}  // namespace vellumar::cli

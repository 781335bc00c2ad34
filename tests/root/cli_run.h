#pragma once

#include <string>

#include "support/shell.h"

namespace vellumar::testing {

// Runs the vellumar-cli of this build with `arguments`, its standard input closed.
inline ShellResult RunCli(const std::string& arguments) {
  return Shell(std::string(VELLUMAR_CLI_PATH) + " " + arguments + " </dev/null");
}

}  // namespace vellumar::testing

#pragma once

#include <string>

namespace vellumar::testing {

struct ShellResult {
  int ExitCode = -1;
  std::string Output;  // standard output and standard error together
};

// Runs a command through /bin/sh and collects what it printed.
ShellResult Shell(const std::string& command);

// Quotes a word for the shell.
std::string Quote(const std::string& word);

}  // namespace vellumar::testing

// The command line: arguments split on NUL bytes, the first naming the command (an unknown name
// picks one by its length). Only the parser runs, over string streams; no command does.
#include <sstream>
#include <string>
#include <vector>

#include "cli/command_line.h"
#include "devices/verify/sample_plan.h"

using namespace vellumar::cli;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::vector<std::string> args(1);
  for (std::size_t i = 0; i < size; ++i) {
    if (data[i] == 0) {
      args.emplace_back();
    } else {
      args.back().push_back(static_cast<char>(data[i]));
    }
  }
  const CommandSpec* spec = FindCommand(args[0]);
  if (spec == nullptr) {
    spec = &Commands()[args[0].size() % Commands().size()];
  }
  std::istringstream in;
  std::ostringstream out;
  std::ostringstream err;
  CliEnvironment env{in, out, err};
  CommandLine line;
  if (!ParseCommandLine(*spec, std::vector<std::string>(args.begin() + 1, args.end()), line, env)) {
    (void)vellumar::ParseVerifyMethod(line.Value("--verify"));
  }
  return 0;
}

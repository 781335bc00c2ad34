#include <ostream>

#include "cli/cli_commands.h"

namespace vellumar::cli {

int RunListCommand(const std::vector<std::string>& /*args*/, CliEnvironment& env) {
  env.Err << "vellumar-cli: 'list' is not available yet\n";
  return kExitUsage;
}

}  // namespace vellumar::cli

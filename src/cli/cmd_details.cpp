#include <ostream>

#include "cli/cli_commands.h"

namespace vellumar::cli {

int RunDetailsCommand(const std::vector<std::string>& /*args*/, CliEnvironment& env) {
  env.Err << "vellumar-cli: 'details' is not available yet\n";
  return kExitUsage;
}

}  // namespace vellumar::cli

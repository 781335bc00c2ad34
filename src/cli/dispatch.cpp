#include <ostream>

#include "cli/cli_commands.h"
#include "cli/command_line.h"
#include "devices/base/version.h"

namespace vellumar::cli {

int RunCli(const std::vector<std::string>& args, CliEnvironment& env) {
  if (args.empty()) {
    env.Err << UsageText();
    return kExitUsage;
  }
  const std::string& command = args[0];
  if (command == "--help" || command == "-h" || command == "help") {
    // "help format" is "format --help", "help certificate verify" "certificate verify --help".
    const std::string name = args.size() > 2 && args[1] == "certificate" ? args[1] + " " + args[2]
                             : args.size() > 1                           ? args[1]
                                                                         : "";
    if (command == "help" && FindCommand(name) != nullptr) {
      env.Out << CommandHelp(*FindCommand(name));
    } else {
      env.Out << UsageText();
    }
    return kExitOk;
  }
  if (command == "--version") {
    env.Out << vellumar::VersionLine("vellumar-cli") << "\n";
    return kExitOk;
  }
  const std::vector<std::string> rest(args.begin() + 1, args.end());
  if (command == "format") {
    return RunFormatCommand(rest, env);
  }
  if (command == "sanitize") {
    return RunSanitizeCommand(rest, env);
  }
  if (command == "list") {
    return RunListCommand(rest, env);
  }
  if (command == "details") {
    return RunDetailsCommand(rest, env);
  }
  if (command == "smart") {
    return RunSmartCommand(rest, env);
  }
  if (command == "verify") {
    return RunVerifyCommand(rest, env);
  }
  if (command == "certificate") {
    return RunCertificateCommand(rest, env);
  }
  if (command == "unattended") {
    return RunUnattendedCommand(rest, env);
  }
  env.Err << "vellumar-cli: unknown command '" << command << "'\n" << UsageText();
  return kExitUsage;
}

}  // namespace vellumar::cli

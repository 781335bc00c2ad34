#include <optional>
#include <ostream>

#include "cli/cli_commands.h"
#include "cli/command_line.h"
#include "cli/commands/erase_command.h"

namespace vellumar::cli {

namespace {

std::optional<int> ParseFormatOptions(const std::vector<std::string>& args, EraseOptions& options,
                                      CliEnvironment& env) {
  CommandLine line;
  if (const std::optional<int> status = ParseCommandLine(*FindCommand("format"), args, line, env)) {
    return status;
  }
  options.Device = line.Operand;
  options.Serial = line.Value("--serial");
  options.Method = line.Flag("--quick") ? vellumar::ops::EraseMethod::QuickWipe : vellumar::ops::EraseMethod::ZeroFill;
  options.Yes = line.Flag("--yes");
  options.RevealHidden = line.Flag("--reveal-hidden");
  options.Agree = line.Flag("--agree");
  options.Operator = line.Value("--operator");
  if (const std::optional<int> status = ReadCertificateOptions("format", line, options.Certificate, env)) {
    return status;
  }
  if (line.Values.contains("--verify")) {
    const auto parsed = vellumar::ParseVerifyMethod(line.Value("--verify"));
    if (!parsed) {
      env.Err << "vellumar-cli format: --verify takes none, sample or full\n";
      return kExitUsage;
    }
    options.Verify = *parsed;
  }
  if (options.Device.empty()) {
    env.Err << "vellumar-cli format: DEVICE is missing\n";
    return kExitUsage;
  }
  return std::nullopt;
}

}  // namespace

int RunFormatCommand(const std::vector<std::string>& args, CliEnvironment& env) {
  EraseOptions options;
  if (const std::optional<int> status = ParseFormatOptions(args, options, env)) {
    return *status;
  }
  return RunEraseCommand(options, env);
}

}  // namespace vellumar::cli

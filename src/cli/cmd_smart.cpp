#include "cli/ata_report_command.h"
#include "cli/cli_commands.h"
#include "devices/smart_report.h"

namespace vellumar::cli {

int RunSmartCommand(const std::vector<std::string>& args, CliEnvironment& env) {
  const AtaReportCommand command{"smart", &vellumar::LogSinks::Smart, &vellumar::RunSmartReport,
                                 &vellumar::RunSmartReportForSector};
  return RunAtaReportCommand(command, args, env);
}

}  // namespace vellumar::cli

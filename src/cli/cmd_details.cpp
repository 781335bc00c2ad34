#include "cli/ata_report_command.h"
#include "cli/cli_commands.h"
#include "devices/details_report.h"

namespace vellumar::cli {

int RunDetailsCommand(const std::vector<std::string>& args, CliEnvironment& env) {
  const AtaReportCommand command{"details", &vellumar::LogSinks::Details, &vellumar::RunDetailsReport,
                                 &vellumar::RunDetailsReportForSector};
  return RunAtaReportCommand(command, args, env);
}

}  // namespace vellumar::cli

#include "cli/cli_commands.h"
#include "cli/commands/ata_report_command.h"
#include "devices/reports/details_report.h"
#include "devices/reports/nvme_report.h"
#include "devices/reports/report_json.h"

namespace vellumar::cli {

int RunDetailsCommand(const std::vector<std::string>& args, CliEnvironment& env) {
  const AtaReportCommand command{"details",
                                 &vellumar::LogSinks::Details,
                                 &vellumar::RunDetailsReport,
                                 &vellumar::RunDetailsReportForSector,
                                 &vellumar::RunNvmeDetailsReport,
                                 &vellumar::CollectAtaDetailsJson,
                                 &vellumar::CollectNvmeDetailsJson,
                                 &vellumar::AtaDetailsSectorJson};
  return RunAtaReportCommand(command, args, env);
}

}  // namespace vellumar::cli

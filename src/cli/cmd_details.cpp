#include "cli/ata_report_command.h"
#include "cli/cli_commands.h"
#include "devices/details_report.h"
#include "devices/nvme_report.h"
#include "devices/report_json.h"

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

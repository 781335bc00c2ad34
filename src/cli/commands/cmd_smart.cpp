#include "cli/cli_commands.h"
#include "cli/commands/ata_report_command.h"
#include "devices/reports/nvme_report.h"
#include "devices/reports/report_json.h"
#include "devices/reports/smart_report.h"

namespace vellumar::cli {

int RunSmartCommand(const std::vector<std::string>& args, CliEnvironment& env) {
  const AtaReportCommand command{"smart",
                                 &vellumar::LogSinks::Smart,
                                 &vellumar::RunSmartReport,
                                 &vellumar::RunSmartReportForSector,
                                 &vellumar::RunNvmeSmartReport,
                                 &vellumar::CollectAtaSmartJson,
                                 &vellumar::CollectNvmeSmartJson,
                                 &vellumar::AtaSmartSectorJson};
  return RunAtaReportCommand(command, args, env);
}

}  // namespace vellumar::cli

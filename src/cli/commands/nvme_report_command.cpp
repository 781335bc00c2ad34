#include "cli/commands/nvme_report_command.h"

#include <ostream>

#include "cli/commands/firmware_facts_output.h"
#include "devices/base/text_format.h"
#include "platform/linux/nvme/linux_nvme_admin.h"

namespace vellumar::cli {

std::optional<int> RunNvmeReportIfNvme(const AtaReportCommand& command, const ResolvedDrive& drive, CliEnvironment& env,
                                       vellumar::LogSinks& logs, bool json) {
  std::string error;
  const std::unique_ptr<vellumar::platform::DriveHandle> handle = OpenResolvedDrive(drive, env, error);
  if (!handle) {
    // Not decided here: the ATA path opens the drive again and reports why it cannot.
    return std::nullopt;
  }
  vellumar::platform::LinuxNvmeAdminChannel channel(handle->Descriptor());
  if (!channel.NamespaceId()) {
    return std::nullopt;
  }
  if (json) {
    vellumar::Json document = command.NvmeJson(drive.Entry, channel);
    if (command.Name == "details") {
      AddFirmwareFacts(drive, env, document);
    }
    env.Out << vellumar::JsonText(document) << std::flush;
    return document.value("available", false) ? kExitOk : kExitCompletedWithErrors;
  }
  const std::string caption = vellumar::DriveCaption(drive.Entry, logs.Locale());
  const bool shown = command.NvmeReport(caption, channel, logs);
  if (command.Name == "details") {
    PrintFirmwareFacts(drive, env);
  }
  return shown ? kExitOk : kExitCompletedWithErrors;
}

}  // namespace vellumar::cli

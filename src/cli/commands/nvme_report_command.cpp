#include "cli/commands/nvme_report_command.h"

#include <ostream>

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
    const vellumar::Json document = command.NvmeJson(drive.Entry, channel);
    env.Out << vellumar::JsonText(document) << std::flush;
    return document.value("available", false) ? kExitOk : kExitCompletedWithErrors;
  }
  const std::string caption = vellumar::DriveCaption(drive.Entry, logs.Locale());
  return command.NvmeReport(caption, channel, logs) ? kExitOk : kExitCompletedWithErrors;
}

}  // namespace vellumar::cli

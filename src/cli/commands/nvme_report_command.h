#pragma once

#include <optional>

#include "cli/commands/ata_report_command.h"
#include "cli/drive_argument.h"

namespace vellumar::cli {

// Runs `command` in its NVMe form when the resolved drive is an NVMe namespace (the kernel's
// NVMe driver answers for the node). Empty when it is not, so the caller takes the ATA path;
// otherwise the exit status, as for the ATA form.
std::optional<int> RunNvmeReportIfNvme(const AtaReportCommand& command, const ResolvedDrive& drive, CliEnvironment& env,
                                       vellumar::LogSinks& logs, bool json);

}  // namespace vellumar::cli

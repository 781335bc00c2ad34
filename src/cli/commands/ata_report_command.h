#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "cli/cli_commands.h"
#include "devices/ata/ata_drive_state.h"
#include "devices/ata/ata_transport.h"
#include "devices/base/drive_record.h"
#include "devices/base/log_sinks.h"
#include "devices/nvme/nvme_admin.h"
#include "devices/reports/report_json.h"

namespace vellumar::cli {

// What `details` and `smart` have in common: a DRIVE or a saved sector, the choice of the ATA
// route, and printing one report log to standard output.
struct AtaReportCommand {
  std::string_view Name;  // "details" or "smart"
  vellumar::LogSink vellumar::LogSinks::*Sink;
  bool (*DriveReport)(const vellumar::TDeviceTable& drive, const std::string& caption, vellumar::AtaPassThrough* ata,
                      vellumar::LogSinks& logs, vellumar::AtaDriveState& state);
  void (*SectorReport)(const std::string& sourceName, std::span<const std::uint8_t, vellumar::kAtaSectorBytes> sector,
                       vellumar::LogSinks& logs);
  // The same report for an NVMe namespace, and the JSON forms of all three.
  bool (*NvmeReport)(const std::string& caption, vellumar::NvmeAdminChannel& channel, vellumar::LogSinks& logs);
  vellumar::Json (*AtaJson)(const vellumar::TDeviceTable& drive, vellumar::AtaPassThrough* ata,
                            vellumar::AtaDriveState& state);
  vellumar::Json (*NvmeJson)(const vellumar::TDeviceTable& drive, vellumar::NvmeAdminChannel& channel);
  vellumar::Json (*SectorJson)(const std::string& path,
                               std::span<const std::uint8_t, vellumar::kAtaSectorBytes> sector);
};

// Reads a saved sector; false with `error` unless the file holds exactly 512 bytes. At most 513
// bytes are read, whatever the file is.
bool ReadSectorFile(const std::string& path, vellumar::AtaSector& sector, std::string& error);

// Exit status 0 when the report showed the drive's data, 1 when it said the data is
// unavailable, 4 when the drive does not report the serial number asked for, 5 for a usage
// error or a drive that cannot be opened. With --json the report is one JSON document on
// standard output instead.
int RunAtaReportCommand(const AtaReportCommand& command, const std::vector<std::string>& args, CliEnvironment& env);

}  // namespace vellumar::cli

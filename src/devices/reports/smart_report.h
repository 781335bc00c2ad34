#pragma once

#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "devices/ata/ata_drive_state.h"
#include "devices/ata/ata_transport.h"
#include "devices/ata/smart_decoder.h"
#include "devices/ata/smart_fetch.h"
#include "devices/base/drive_record.h"
#include "devices/base/log_sinks.h"

namespace vellumar {

inline constexpr std::string_view kSmartSubjectLabel = "SMART data for ";
inline constexpr std::string_view kSmartNotSupportedLine = "SMART is not supported by this device.";
inline constexpr std::string_view kSmartColumnHeader =
    "          Attribute                      Current   Worst          Raw       Note";

// One table line: id, hex id, name, current, worst, raw, and for id 194 the temperature note.
std::string SmartAttributeLine(const SmartAttribute& attribute);

// The column header, the rule, one line per attribute and the closing blank line.
std::vector<std::string> SmartTableLines(const std::vector<SmartAttribute>& attributes);

// Writes the whole S.M.A.R.T. report of `drive` to SmartLog. On the ATA bus S.M.A.R.T. is
// enabled before the read and switched off again afterwards only when `state` knows it was off
// (IDENTIFY is read once first when `state` holds none). `ata` is nullptr when the drive can't
// take ATA commands. False when the report says S.M.A.R.T. is not supported.
bool RunSmartReport(const TDeviceTable& drive, const std::string& driveCaption, AtaPassThrough* ata, LogSinks& logs,
                    AtaDriveState& state);

// The same report for a saved S.M.A.R.T. data sector; the heading names `sourceName`.
void RunSmartReportForSector(const std::string& sourceName, std::span<const std::uint8_t, kAtaSectorBytes> sector,
                             LogSinks& logs);

}  // namespace vellumar

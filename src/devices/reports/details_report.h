#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "devices/ata/ata_drive_state.h"
#include "devices/ata/ata_transport.h"
#include "devices/ata/identify_decoder.h"
#include "devices/base/drive_record.h"
#include "devices/base/locale_settings.h"
#include "devices/base/log_sinks.h"

namespace vellumar {

inline constexpr std::string_view kDetailsSubjectLabel = "Device details for ";

// The lines of the details report after its heading, for decoded IDENTIFY data.
std::vector<std::string> DetailsLines(const T_IDE_PASSPORT& passport, const LocaleSettings& locale);

// The lines that replace them when the drive gave no IDENTIFY data.
std::vector<std::string> DetailsUnavailableLines(std::int64_t busType);

// Writes the whole details report of `drive` to DetailsLog: reads IDENTIFY through `ata`
// (nullptr when the drive can't take ATA commands; an ATA-bus drive gets one retry), decodes
// it and remembers it in `state`. False when the drive gave no IDENTIFY data.
bool RunDetailsReport(const TDeviceTable& drive, const std::string& driveCaption, AtaPassThrough* ata, LogSinks& logs,
                      AtaDriveState& state);

// The same report for a saved IDENTIFY sector; the heading names `sourceName`.
void RunDetailsReportForSector(const std::string& sourceName, std::span<const std::uint8_t, kAtaSectorBytes> sector,
                               LogSinks& logs);

}  // namespace vellumar

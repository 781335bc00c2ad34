#pragma once

#include <cstddef>

namespace vellumar {

// The sizes of the pages this program reads, and where its fields sit in them: shared by the
// commands that fetch the pages and the decoders that read them.
inline constexpr std::size_t kNvmeIdentifyBytes = 4096;
inline constexpr std::size_t kNvmeHealthLogBytes = 512;
inline constexpr std::size_t kNvmeSanitizeLogBytes = 512;

// Byte offsets of the fields this program reads. The platform checks each one against the
// layouts of the NVMe library at compile time, so a slip here cannot build.
namespace nvme_layout {
inline constexpr std::size_t kCtrlSerial = 4;  // 20 characters
inline constexpr std::size_t kCtrlSerialLength = 20;
inline constexpr std::size_t kCtrlModel = 24;  // 40 characters
inline constexpr std::size_t kCtrlModelLength = 40;
inline constexpr std::size_t kCtrlFirmware = 64;  // 8 characters
inline constexpr std::size_t kCtrlFirmwareLength = 8;
inline constexpr std::size_t kCtrlVersion = 80;
inline constexpr std::size_t kCtrlOacs = 256;
inline constexpr std::size_t kCtrlWarningTemperature = 266;
inline constexpr std::size_t kCtrlCriticalTemperature = 268;
inline constexpr std::size_t kCtrlSanitizeCapabilities = 328;
inline constexpr std::size_t kCtrlNamespaceCount = 516;
inline constexpr std::size_t kCtrlOncs = 520;
inline constexpr std::size_t kCtrlFormatAttributes = 524;
inline constexpr std::size_t kCtrlVolatileWriteCache = 525;
inline constexpr std::size_t kNsSize = 0;
inline constexpr std::size_t kNsCapacity = 8;
inline constexpr std::size_t kNsUtilization = 16;
inline constexpr std::size_t kNsFormatCount = 25;  // counted from zero
inline constexpr std::size_t kNsFormattedLbaSize = 26;
inline constexpr std::size_t kNsLbaFormats = 128;  // 16 entries of 4 bytes
inline constexpr std::size_t kNsLbaFormatEntries = 16;
inline constexpr std::size_t kLogCriticalWarning = 0;
inline constexpr std::size_t kLogTemperature = 1;
inline constexpr std::size_t kLogAvailableSpare = 3;
inline constexpr std::size_t kLogSpareThreshold = 4;
inline constexpr std::size_t kLogPercentageUsed = 5;
inline constexpr std::size_t kLogDataUnitsRead = 32;  // then 16-byte counters, one after the other
inline constexpr std::size_t kLogDataUnitsWritten = 48;
inline constexpr std::size_t kLogHostReads = 64;
inline constexpr std::size_t kLogHostWrites = 80;
inline constexpr std::size_t kLogBusyTime = 96;
inline constexpr std::size_t kLogPowerCycles = 112;
inline constexpr std::size_t kLogPowerOnHours = 128;
inline constexpr std::size_t kLogUnsafeShutdowns = 144;
inline constexpr std::size_t kLogMediaErrors = 160;
inline constexpr std::size_t kLogErrorLogEntries = 176;
inline constexpr std::size_t kSanitizeProgress = 0;
inline constexpr std::size_t kSanitizeStatus = 2;
inline constexpr std::size_t kSanitizeCdw10 = 4;
inline constexpr std::size_t kSanitizeTimeOverwrite = 8;
inline constexpr std::size_t kSanitizeTimeBlockErase = 12;
inline constexpr std::size_t kSanitizeTimeCryptoErase = 16;
}  // namespace nvme_layout

}  // namespace vellumar

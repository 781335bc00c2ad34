#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "devices/nvme/nvme_admin.h"

namespace vellumar {

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
}  // namespace nvme_layout

struct NvmeController {
  std::string Model;  // device texts: trimmed, control characters replaced
  std::string Serial;
  std::string Firmware;
  std::uint32_t Version = 0;  // major in bits 31:16, minor 15:8, tertiary 7:0
  std::uint32_t NamespaceCount = 0;
  bool SecuritySendReceive = false;
  bool FormatNvm = false;
  bool NamespaceManagement = false;
  bool DeviceSelfTest = false;
  bool WriteZeroes = false;
  bool SanitizeCryptoErase = false;
  bool SanitizeBlockErase = false;
  bool SanitizeOverwrite = false;
  bool VolatileWriteCache = false;
  std::uint16_t WarningTemperatureKelvin = 0;  // 0: not reported
  std::uint16_t CriticalTemperatureKelvin = 0;
};

struct NvmeLbaFormat {
  std::uint32_t Index = 0;
  std::uint64_t DataBytes = 0;  // 0 when the entry names no usable size
  std::uint16_t MetadataBytes = 0;
};

struct NvmeNamespace {
  std::uint64_t SizeBlocks = 0;
  std::uint64_t CapacityBlocks = 0;
  std::uint64_t UtilizedBlocks = 0;
  std::uint32_t ActiveFormat = 0;
  std::vector<NvmeLbaFormat> Formats;  // as many as the namespace reports, at most 16

  // The active format's entry, or nullptr when the index points past the reported ones.
  const NvmeLbaFormat* Active() const;
  // Size in bytes of the namespace, empty when unknown or beyond 64 bits.
  std::optional<std::uint64_t> CapacityBytes() const;
};

// A 128-bit counter of the health log, split in halves.
struct NvmeCounter {
  std::uint64_t Low = 0;
  std::uint64_t High = 0;

  bool FitsIn64() const { return High == 0; }
  // The value, or 2^64 - 1 when it does not fit.
  std::uint64_t Saturated() const { return FitsIn64() ? Low : UINT64_MAX; }
  std::string Decimal() const;
};

struct NvmeHealth {
  std::uint8_t CriticalWarning = 0;
  std::uint16_t TemperatureKelvin = 0;
  std::uint8_t AvailableSpare = 0;
  std::uint8_t SpareThreshold = 0;
  std::uint8_t PercentageUsed = 0;
  NvmeCounter DataUnitsRead;
  NvmeCounter DataUnitsWritten;
  NvmeCounter HostReads;
  NvmeCounter HostWrites;
  NvmeCounter BusyMinutes;
  NvmeCounter PowerCycles;
  NvmeCounter PowerOnHours;
  NvmeCounter UnsafeShutdowns;
  NvmeCounter MediaErrors;
  NvmeCounter ErrorLogEntries;
};

NvmeController DecodeNvmeController(std::span<const std::uint8_t, kNvmeIdentifyBytes> page);
NvmeNamespace DecodeNvmeNamespace(std::span<const std::uint8_t, kNvmeIdentifyBytes> page);
NvmeHealth DecodeNvmeHealth(std::span<const std::uint8_t, kNvmeHealthLogBytes> page);

// "1.4", or "1.4.1" when the tertiary number is not 0; "not reported" for 0.
std::string NvmeVersionText(std::uint32_t version);

// Degrees Celsius of a Kelvin reading (the controller reports whole Kelvin).
int KelvinToCelsius(std::uint16_t kelvin);

// The names of the critical warning bits that are set, lowest bit first.
std::vector<std::string> NvmeCriticalWarnings(std::uint8_t criticalWarning);

// Bytes a data-units counter stands for: 1000 units of 512 bytes each; empty past 64 bits.
std::optional<std::uint64_t> NvmeDataUnitBytes(const NvmeCounter& units);

}  // namespace vellumar

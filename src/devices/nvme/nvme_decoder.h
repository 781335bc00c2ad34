#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "devices/nvme/nvme_layout.h"

namespace vellumar {

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
  // FNA: a format reaches every namespace (bit 0), a secure erase does (bit 1), crypto erase
  // is supported by Format NVM (bit 2).
  bool FormatAllNamespaces = false;
  bool EraseAllNamespaces = false;
  bool FormatCryptoErase = false;
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

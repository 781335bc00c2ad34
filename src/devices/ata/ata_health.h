#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "devices/ata/ata_drive_state.h"
#include "devices/ata/ata_transport.h"
#include "devices/ata/smart_decoder.h"
#include "devices/base/drive_record.h"

namespace vellumar {

inline constexpr std::uint8_t kSmartFeatureReadThresholds = 0xD1;
inline constexpr std::uint8_t kSmartFeatureReturnStatus = 0xDA;

// What S.M.A.R.T. RETURN STATUS says, from the LBA mid and high registers it leaves behind.
enum class AtaHealthVerdict { Passed, ThresholdExceeded, Unknown };

AtaHealthVerdict DecodeSmartReturnStatus(std::uint8_t lbaMid, std::uint8_t lbaHigh);

// One entry of the S.M.A.R.T. READ THRESHOLDS sector.
struct SmartThreshold {
  std::uint8_t Id = 0;
  std::uint8_t Threshold = 0;
  bool operator==(const SmartThreshold&) const = default;
};

// The entries with a non-zero id among the sector's 30 (the same layout as the data sector).
std::vector<SmartThreshold> DecodeSmartThresholds(std::span<const std::uint8_t, kAtaSectorBytes> sector);

// The threshold of attribute `id`, if the sector names one.
std::optional<std::uint8_t> ThresholdFor(const std::vector<SmartThreshold>& thresholds, std::uint8_t id);

// Raw values whose meaning does not depend on the drive's maker.
struct AtaStandardValues {
  std::optional<std::uint64_t> PowerOnHours;          // id 9, low 32 bits
  std::optional<std::uint64_t> TemperatureCelsius;    // id 194, else id 190: low byte
  std::optional<std::uint64_t> ReallocatedSectors;    // id 5
  std::optional<std::uint64_t> ReallocationEvents;    // id 196
  std::optional<std::uint64_t> PendingSectors;        // id 197
  std::optional<std::uint64_t> OfflineUncorrectable;  // id 198
};

AtaStandardValues DecodeStandardValues(const std::vector<SmartAttribute>& attributes);

// Everything the JSON form of the S.M.A.R.T. report carries for an ATA drive.
struct AtaSmartFacts {
  bool Available = false;
  std::vector<SmartAttribute> Attributes;
  std::optional<std::vector<SmartThreshold>> Thresholds;  // empty when READ THRESHOLDS failed
  AtaHealthVerdict Verdict = AtaHealthVerdict::Unknown;
};

// SMART READ THRESHOLDS (pass-through, then the legacy route) and SMART RETURN STATUS
// (pass-through only: the verdict is in the registers the command leaves behind).
bool SmartReadThresholds(AtaPassThrough& ata, std::uint8_t slave, std::span<std::uint8_t, kAtaSectorBytes> destination);
AtaHealthVerdict SmartReturnStatus(AtaPassThrough& ata, std::uint8_t slave);

// Reads the data sector as the S.M.A.R.T. report does, and while S.M.A.R.T. is on also the
// thresholds and the verdict. Both extra commands only read state.
AtaSmartFacts CollectAtaSmartFacts(const TIdentifyDeviceData& id, AtaPassThrough* ata, AtaDriveState& state);

}  // namespace vellumar

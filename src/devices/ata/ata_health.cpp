#include "devices/ata/ata_health.h"

#include <algorithm>

#include "devices/ata/ata_commands.h"
#include "devices/ata/smart_fetch.h"

namespace vellumar {

namespace {

std::optional<std::uint64_t> RawOf(const std::vector<SmartAttribute>& attributes, std::uint8_t id) {
  const auto found =
      std::find_if(attributes.begin(), attributes.end(), [id](const SmartAttribute& a) { return a.Id == id; });
  if (found == attributes.end()) {
    return std::nullopt;
  }
  return found->Raw;
}

}  // namespace

AtaHealthVerdict DecodeSmartReturnStatus(std::uint8_t lbaMid, std::uint8_t lbaHigh) {
  if (lbaMid == 0x4F && lbaHigh == 0xC2) {
    return AtaHealthVerdict::Passed;
  }
  if (lbaMid == 0xF4 && lbaHigh == 0x2C) {
    return AtaHealthVerdict::ThresholdExceeded;
  }
  return AtaHealthVerdict::Unknown;
}

std::vector<SmartThreshold> DecodeSmartThresholds(std::span<const std::uint8_t, kAtaSectorBytes> sector) {
  std::vector<SmartThreshold> thresholds;
  for (std::size_t k = 0; k < kSmartMaxAttributes; ++k) {
    const std::size_t at = 2 + kSmartEntryBytes * k;
    if (sector[at] != 0) {
      thresholds.push_back({sector[at], sector[at + 1]});
    }
  }
  return thresholds;
}

std::optional<std::uint8_t> ThresholdFor(const std::vector<SmartThreshold>& thresholds, std::uint8_t id) {
  const auto found =
      std::find_if(thresholds.begin(), thresholds.end(), [id](const SmartThreshold& t) { return t.Id == id; });
  if (found == thresholds.end()) {
    return std::nullopt;
  }
  return found->Threshold;
}

AtaStandardValues DecodeStandardValues(const std::vector<SmartAttribute>& attributes) {
  AtaStandardValues values;
  if (const auto hours = RawOf(attributes, 9)) {
    values.PowerOnHours = *hours & 0xFFFFFFFFU;
  }
  std::optional<std::uint64_t> temperature = RawOf(attributes, 194);
  if (!temperature) {
    temperature = RawOf(attributes, 190);
  }
  if (temperature) {
    values.TemperatureCelsius = *temperature & 0xFFU;
  }
  values.ReallocatedSectors = RawOf(attributes, 5);
  values.ReallocationEvents = RawOf(attributes, 196);
  values.PendingSectors = RawOf(attributes, 197);
  values.OfflineUncorrectable = RawOf(attributes, 198);
  return values;
}

bool SmartReadThresholds(AtaPassThrough& ata, std::uint8_t slave,
                         std::span<std::uint8_t, kAtaSectorBytes> destination) {
  const AtaRegisters registers = SmartRegisters(kSmartFeatureReadThresholds, slave);
  return ata.PioDataIn(AtaRoute::PassThrough, slave, registers, destination) ||
         ata.PioDataIn(AtaRoute::Legacy, slave, registers, destination);
}

AtaHealthVerdict SmartReturnStatus(AtaPassThrough& ata, std::uint8_t slave) {
  AtaRegisters result;
  if (!ata.NonDataCommandWithResult(AtaRoute::PassThrough, slave, SmartRegisters(kSmartFeatureReturnStatus, slave),
                                    result)) {
    return AtaHealthVerdict::Unknown;
  }
  return DecodeSmartReturnStatus(result.CylinderLow, result.CylinderHigh);
}

AtaSmartFacts CollectAtaSmartFacts(const TIdentifyDeviceData& id, AtaPassThrough* ata, AtaDriveState& state) {
  AtaSmartFacts facts;
  AtaSector data{};
  AtaSector thresholds{};
  bool haveThresholds = false;
  facts.Available = FetchSmartData(id, ata, state, data, [&] {
    haveThresholds = SmartReadThresholds(*ata, id.IsIDESlave, thresholds);
    facts.Verdict = SmartReturnStatus(*ata, id.IsIDESlave);
  });
  if (facts.Available) {
    facts.Attributes = DecodeSmartAttributes(data);
    if (haveThresholds) {
      facts.Thresholds = DecodeSmartThresholds(thresholds);
    }
  }
  return facts;
}

}  // namespace vellumar

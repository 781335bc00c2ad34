#include "platform/linux/ata/ata_sense.h"

#include <algorithm>
#include <cstddef>

namespace vellumar::platform {

namespace {

constexpr std::uint8_t kAtaStatusReturnDescriptor = 0x09;
constexpr std::size_t kAtaStatusReturnLength = 14;

void ParseFixed(std::span<const std::uint8_t> sense, AtaSense& parsed) {
  if (sense.size() < 3) {
    return;
  }
  parsed.Valid = true;
  parsed.SenseKey = sense[2] & 0x0FU;
  if (sense.size() >= 14) {
    parsed.Asc = sense[12];
    parsed.Ascq = sense[13];
  }
  if (sense.size() >= 10) {
    parsed.HasAtaRegisters = true;
    parsed.AtaError = sense[8];
    parsed.AtaStatus = sense[9];
  }
}

void ParseDescriptor(std::span<const std::uint8_t> sense, AtaSense& parsed) {
  if (sense.size() < 4) {
    return;
  }
  parsed.Valid = true;
  parsed.SenseKey = sense[1] & 0x0FU;
  parsed.Asc = sense[2];
  parsed.Ascq = sense[3];
  if (sense.size() < 8) {
    return;
  }
  const std::size_t end = std::min<std::size_t>(sense.size(), 8U + sense[7]);
  std::size_t at = 8;
  while (at + 2 <= end) {
    const std::size_t length = 2U + sense[at + 1];
    if (sense[at] == kAtaStatusReturnDescriptor && length >= kAtaStatusReturnLength && at + length <= end) {
      parsed.HasAtaRegisters = true;
      parsed.AtaError = sense[at + 3];
      parsed.AtaStatus = sense[at + 13];
      parsed.HasAtaLba = true;
      parsed.AtaLbaMid = sense[at + 9];
      parsed.AtaLbaHigh = sense[at + 11];
      return;
    }
    at += length;
  }
}

}  // namespace

AtaSense ParseAtaSense(std::span<const std::uint8_t> sense) {
  AtaSense parsed;
  if (sense.empty()) {
    return parsed;
  }
  parsed.ResponseCode = sense[0] & 0x7FU;
  if (parsed.ResponseCode == 0x70 || parsed.ResponseCode == 0x71) {
    ParseFixed(sense, parsed);
  } else if (parsed.ResponseCode == 0x72 || parsed.ResponseCode == 0x73) {
    ParseDescriptor(sense, parsed);
  }
  return parsed;
}

bool IsAtaStatusReturnOnly(const AtaSense& sense) {
  return sense.Valid && (sense.SenseKey == kSenseKeyNoSense || sense.SenseKey == kSenseKeyRecoveredError) &&
         sense.Asc == 0x00 && sense.Ascq == 0x1D && sense.HasAtaRegisters &&
         (sense.AtaStatus & (kAtaStatusError | kAtaStatusDeviceFault)) == 0;
}

}  // namespace vellumar::platform

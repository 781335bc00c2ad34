#include "devices/ata/ata_security.h"

#include <algorithm>

namespace vellumar {

namespace {

std::uint16_t SecurityWord(std::span<const std::uint8_t, kAtaSectorBytes> data, std::size_t index) {
  return static_cast<std::uint16_t>(data[2 * index] | (data[2 * index + 1] << 8U));
}

bool SecurityBit(std::uint16_t word, unsigned bit) { return ((static_cast<unsigned>(word) >> bit) & 1U) != 0; }

// Words 82, 83 and 59's capability bits mean something only when the word is marked valid:
// bit 14 set and bit 15 clear. A drive that leaves 0xFFFF there reports nothing.
bool ValidCommandSetWord(std::uint16_t word) { return SecurityBit(word, 14) && !SecurityBit(word, 15); }

constexpr std::uint32_t kDefaultTimeout = 12U * 3600U;
constexpr std::uint32_t kLeastTimeout = 10U * 60U;

}  // namespace

EraseTimeEstimate DecodeEraseTime(std::uint16_t word) {
  EraseTimeEstimate estimate;
  const bool extended = SecurityBit(word, 15);
  const std::uint32_t value = extended ? (word & 0x7FFFU) : (word & 0xFFU);
  const std::uint32_t top = extended ? 0x7FFFU : 0xFFU;
  if (value == 0) {
    return estimate;
  }
  estimate.Reported = true;
  estimate.AtLeast = value == top;
  estimate.Minutes = (estimate.AtLeast ? value - 1 : value) * 2;
  return estimate;
}

AtaEraseFeatures DecodeEraseFeatures(std::span<const std::uint8_t, kAtaSectorBytes> identify) {
  AtaEraseFeatures f;
  const std::uint16_t w82 = SecurityWord(identify, 82);
  const std::uint16_t w83 = SecurityWord(identify, 83);
  const std::uint16_t w128 = SecurityWord(identify, 128);
  const std::uint16_t w59 = SecurityWord(identify, 59);
  f.Lba48 = ValidCommandSetWord(w83) && SecurityBit(w83, 10);
  if (f.Lba48) {
    f.ReportedSectors = static_cast<std::uint64_t>(SecurityWord(identify, 100)) |
                        (static_cast<std::uint64_t>(SecurityWord(identify, 101)) << 16U) |
                        (static_cast<std::uint64_t>(SecurityWord(identify, 102)) << 32U) |
                        (static_cast<std::uint64_t>(SecurityWord(identify, 103)) << 48U);
  } else {
    f.ReportedSectors = static_cast<std::uint64_t>(SecurityWord(identify, 60)) |
                        (static_cast<std::uint64_t>(SecurityWord(identify, 61)) << 16U);
  }
  f.SecuritySupported = ValidCommandSetWord(w82) && SecurityBit(w82, 1) && SecurityBit(w128, 0);
  if (f.SecuritySupported) {
    f.SecurityEnabled = SecurityBit(w128, 1);
    f.Locked = SecurityBit(w128, 2);
    f.Frozen = SecurityBit(w128, 3);
    f.CountExpired = SecurityBit(w128, 4);
    f.EnhancedSupported = SecurityBit(w128, 5);
    f.NormalErase = DecodeEraseTime(SecurityWord(identify, 89));
    f.EnhancedErase = DecodeEraseTime(SecurityWord(identify, 90));
  }
  f.SanitizeSupported = SecurityBit(w59, 12);
  if (f.SanitizeSupported) {
    f.SanitizeCrypto = SecurityBit(w59, 13);
    f.SanitizeOverwrite = SecurityBit(w59, 14);
    f.SanitizeBlock = SecurityBit(w59, 15);
  }
  return f;
}

std::uint32_t EraseTimeoutSeconds(const EraseTimeEstimate& estimate) {
  if (!estimate.Reported) {
    return kDefaultTimeout;
  }
  const std::uint32_t seconds = estimate.Minutes * 60U;
  if (estimate.AtLeast) {
    return std::max(2U * seconds, kDefaultTimeout);
  }
  return std::max(seconds + seconds / 2U, kLeastTimeout);
}

std::string EraseTimeText(const EraseTimeEstimate& estimate) {
  if (!estimate.Reported) {
    return "not reported";
  }
  return (estimate.AtLeast ? "more than " : "about ") + std::to_string(estimate.Minutes) + " minutes";
}

}  // namespace vellumar

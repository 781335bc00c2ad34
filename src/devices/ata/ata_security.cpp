#include "devices/ata/ata_security.h"

#include <algorithm>

namespace vellumar {

namespace {

std::uint16_t Word(std::span<const std::uint8_t, kAtaSectorBytes> data, std::size_t index) {
  return static_cast<std::uint16_t>(data[2 * index] | (data[2 * index + 1] << 8U));
}

bool Bit(std::uint16_t word, unsigned bit) { return ((static_cast<unsigned>(word) >> bit) & 1U) != 0; }

// Words 82, 83 and 59's capability bits mean something only when the word is marked valid:
// bit 14 set and bit 15 clear. A drive that leaves 0xFFFF there reports nothing.
bool ValidCommandSetWord(std::uint16_t word) { return Bit(word, 14) && !Bit(word, 15); }

constexpr std::uint32_t kDefaultTimeout = 12U * 3600U;
constexpr std::uint32_t kLeastTimeout = 10U * 60U;

}  // namespace

EraseTimeEstimate DecodeEraseTime(std::uint16_t word) {
  EraseTimeEstimate estimate;
  const bool extended = Bit(word, 15);
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
  const std::uint16_t w82 = Word(identify, 82);
  const std::uint16_t w83 = Word(identify, 83);
  const std::uint16_t w128 = Word(identify, 128);
  const std::uint16_t w59 = Word(identify, 59);
  f.Lba48 = ValidCommandSetWord(w83) && Bit(w83, 10);
  if (f.Lba48) {
    f.ReportedSectors = static_cast<std::uint64_t>(Word(identify, 100)) |
                        (static_cast<std::uint64_t>(Word(identify, 101)) << 16U) |
                        (static_cast<std::uint64_t>(Word(identify, 102)) << 32U) |
                        (static_cast<std::uint64_t>(Word(identify, 103)) << 48U);
  } else {
    f.ReportedSectors =
        static_cast<std::uint64_t>(Word(identify, 60)) | (static_cast<std::uint64_t>(Word(identify, 61)) << 16U);
  }
  f.SecuritySupported = ValidCommandSetWord(w82) && Bit(w82, 1) && Bit(w128, 0);
  if (f.SecuritySupported) {
    f.SecurityEnabled = Bit(w128, 1);
    f.Locked = Bit(w128, 2);
    f.Frozen = Bit(w128, 3);
    f.CountExpired = Bit(w128, 4);
    f.EnhancedSupported = Bit(w128, 5);
    f.NormalErase = DecodeEraseTime(Word(identify, 89));
    f.EnhancedErase = DecodeEraseTime(Word(identify, 90));
  }
  f.SanitizeSupported = Bit(w59, 12);
  if (f.SanitizeSupported) {
    f.SanitizeCrypto = Bit(w59, 13);
    f.SanitizeOverwrite = Bit(w59, 14);
    f.SanitizeBlock = Bit(w59, 15);
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

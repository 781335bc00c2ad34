#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "devices/ata/ata_transport.h"

namespace vellumar {

// A drive's own estimate of an erase, from IDENTIFY word 89 or 90.
struct EraseTimeEstimate {
  bool Reported = false;
  std::uint32_t Minutes = 0;
  bool AtLeast = false;  // the field's top value: "more than" Minutes

  bool operator==(const EraseTimeEstimate&) const = default;
};

// What IDENTIFY says about the security and sanitize feature sets.
struct AtaEraseFeatures {
  bool SecuritySupported = false;   // word 82 bit 1 and word 128 bit 0
  bool SecurityEnabled = false;     // a user password is set (word 128 bit 1)
  bool Locked = false;              // bit 2
  bool Frozen = false;              // bit 3: no security command is accepted until a power cycle
  bool CountExpired = false;        // bit 4: too many wrong passwords; a power cycle resets it
  bool EnhancedSupported = false;   // bit 5
  EraseTimeEstimate NormalErase;    // word 89
  EraseTimeEstimate EnhancedErase;  // word 90
  bool SanitizeSupported = false;   // word 59 bit 12
  bool SanitizeCrypto = false;      // bit 13
  bool SanitizeOverwrite = false;   // bit 14
  bool SanitizeBlock = false;       // bit 15
  bool Lba48 = false;
  std::uint64_t ReportedSectors = 0;

  bool operator==(const AtaEraseFeatures&) const = default;
};

AtaEraseFeatures DecodeEraseFeatures(std::span<const std::uint8_t, kAtaSectorBytes> identify);

// Word 89/90: bits 7:0 count two-minute units, 255 meaning more than 508 minutes; with bit 15
// set, bits 14:0 do, 32767 meaning more than 65,532 minutes. Zero: not reported.
EraseTimeEstimate DecodeEraseTime(std::uint16_t word);

// How long to wait for an erase: the estimate and half again, at least 10 minutes; 12 hours
// without an estimate; twice the estimate's floor for a "more than" estimate.
std::uint32_t EraseTimeoutSeconds(const EraseTimeEstimate& estimate);

// "about 4 minutes", "more than 508 minutes", "not reported".
std::string EraseTimeText(const EraseTimeEstimate& estimate);

}  // namespace vellumar

#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "devices/ata/ata_command.h"
#include "devices/ata/ata_transport.h"
#include "devices/ata/hidden_area.h"

namespace vellumar {

inline constexpr std::uint8_t kAtaSetMaxAddress = 0xF9;
inline constexpr std::uint8_t kAtaSetMaxAddressExt = 0x37;

struct HiddenAreaReveal {
  bool Sent = false;       // SET MAX ADDRESS (EXT) went to the drive
  bool Confirmed = false;  // and IDENTIFY afterwards reports the native capacity
  std::int64_t SectorsBefore = 0;
  std::int64_t SectorsAfter = 0;  // IDENTIFY's capacity afterwards; 0 when it did not answer
  // One line for the log and the certificate: what was revealed, or why not.
  std::string Line;
};

// Makes the sectors a host protected area hides reachable until the next power cycle, so that a
// zero fill reaches them: READ NATIVE MAX ADDRESS (EXT), which the drive wants right before, then
// a volatile SET MAX ADDRESS (EXT) to the native maximum `report` found, then IDENTIFY again.
// Sends nothing when the drive has no host protected area, when only a device configuration
// overlay hides sectors (this program never changes one), or when the native maximum is unknown.
HiddenAreaReveal RevealHiddenArea(std::span<const std::uint8_t, kAtaSectorBytes> identify,
                                  const HiddenAreaReport& report, AtaCommandChannel& ata);

}  // namespace vellumar

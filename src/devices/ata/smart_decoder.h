#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "devices/ata/ata_transport.h"

namespace vellumar {

// One attribute or threshold entry of the S.M.A.R.T. data and threshold sectors.
inline constexpr std::size_t kSmartEntryBytes = 12;

inline constexpr std::size_t kSmartMaxAttributes = 30;

// One entry of the S.M.A.R.T. data sector's attribute table.
struct SmartAttribute {
  std::uint8_t Id = 0;
  std::uint8_t Current = 0;
  std::uint8_t Worst = 0;
  std::uint64_t Raw = 0;  // 48 bits, lowest byte first in the sector
  std::uint8_t RawLowByte = 0;

  bool operator==(const SmartAttribute&) const = default;
};

// The entries from the first one up to the first id 0, at most 30. Nothing is validated.
std::vector<SmartAttribute> DecodeSmartAttributes(std::span<const std::uint8_t, kAtaSectorBytes> data);

}  // namespace vellumar

#include "devices/ata/smart_decoder.h"

namespace vellumar {

namespace {

constexpr std::size_t kTableOffset = 2;  // after the revision number
constexpr std::size_t kRawOffset = 5;
constexpr std::size_t kRawBytes = 6;

}  // namespace

std::vector<SmartAttribute> DecodeSmartAttributes(std::span<const std::uint8_t, kAtaSectorBytes> data) {
  std::vector<SmartAttribute> attributes;
  for (std::size_t k = 0; k < kSmartMaxAttributes; ++k) {
    const std::span<const std::uint8_t> entry = data.subspan(kTableOffset + k * kSmartEntryBytes, kSmartEntryBytes);
    if (entry[0] == 0) {
      break;
    }
    SmartAttribute attribute;
    attribute.Id = entry[0];
    attribute.Current = entry[3];
    attribute.Worst = entry[4];
    attribute.RawLowByte = entry[kRawOffset];
    for (std::size_t i = kRawBytes; i > 0; --i) {
      attribute.Raw = (attribute.Raw << 8U) | entry[kRawOffset + i - 1];
    }
    attributes.push_back(attribute);
  }
  return attributes;
}

}  // namespace vellumar

#include "devices/catalogue/storage_descriptor.h"

namespace vellumar {

namespace {

void PutU32(DescriptorBuffer& buffer, std::size_t at, std::uint32_t value) {
  for (std::size_t i = 0; i < 4; ++i) {
    buffer[at + i] = static_cast<std::uint8_t>((value >> (8 * i)) & 0xFFU);
  }
}

std::uint32_t GetU32(const DescriptorBuffer& buffer, std::size_t at) {
  std::uint32_t value = 0;
  for (std::size_t i = 0; i < 4; ++i) {
    value |= static_cast<std::uint32_t>(buffer[at + i]) << (8 * i);
  }
  return value;
}

std::string PairSwapped(std::string serial) {
  if (serial.size() % 2 != 0) {
    serial.push_back(' ');
  }
  for (std::size_t i = 0; i + 1 < serial.size(); i += 2) {
    std::swap(serial[i], serial[i + 1]);
  }
  return serial;
}

// Appends one NUL-terminated string; returns its offset, or 0 when it is empty or no room is left.
std::uint32_t PutString(DescriptorBuffer& buffer, std::size_t& next, const std::string& text) {
  if (text.empty() || next + 1 >= buffer.size()) {
    return 0;
  }
  const std::size_t room = buffer.size() - next - 1;
  const std::size_t length = text.size() < room ? text.size() : room;
  const auto offset = static_cast<std::uint32_t>(next);
  for (std::size_t i = 0; i < length; ++i) {
    buffer[next + i] = static_cast<std::uint8_t>(text[i]);
  }
  next += length;
  buffer[next] = 0;
  next += 1;
  return offset;
}

}  // namespace

DescriptorBuffer BuildDeviceDescriptor(const DeviceStrings& strings) {
  DescriptorBuffer buffer{};
  std::size_t next = kDescriptorStringsAt;
  PutU32(buffer, kDescriptorVersionAt, static_cast<std::uint32_t>(kDescriptorStringsAt));
  buffer[kDescriptorRemovableAt] = strings.Removable ? 1 : 0;
  PutU32(buffer, kDescriptorVendorAt, PutString(buffer, next, strings.Vendor));
  PutU32(buffer, kDescriptorProductAt, PutString(buffer, next, strings.Product));
  PutU32(buffer, kDescriptorRevisionAt, PutString(buffer, next, strings.Revision));
  PutU32(buffer, kDescriptorSerialAt, PutString(buffer, next, PairSwapped(strings.Serial)));
  PutU32(buffer, kDescriptorBusTypeAt, strings.BusType);
  PutU32(buffer, kDescriptorSizeAt, static_cast<std::uint32_t>(next));
  return buffer;
}

DeviceDescriptorHeader ParseDeviceDescriptorHeader(const DescriptorBuffer& buffer) {
  DeviceDescriptorHeader header;
  header.Size = GetU32(buffer, kDescriptorSizeAt);
  header.RemovableMedia = buffer[kDescriptorRemovableAt] != 0;
  header.VendorIdOffset = GetU32(buffer, kDescriptorVendorAt);
  header.ProductIdOffset = GetU32(buffer, kDescriptorProductAt);
  header.ProductRevisionOffset = GetU32(buffer, kDescriptorRevisionAt);
  header.SerialNumberOffset = GetU32(buffer, kDescriptorSerialAt);
  return header;
}

std::string DescriptorString(const DescriptorBuffer& buffer, std::uint32_t offset, std::uint32_t size) {
  std::string text;
  if (offset == 0) {
    return text;
  }
  for (std::uint64_t at = offset; at <= size && at < buffer.size(); ++at) {
    const std::uint8_t byte = buffer[static_cast<std::size_t>(at)];
    if (byte == 0) {
      break;
    }
    text.push_back(static_cast<char>(byte));
  }
  return text;
}

std::string SwapSerialPairs(const std::string& raw) {
  std::array<char, kDescriptorBufferSize> area{};
  for (std::size_t i = 0; i < raw.size() && i < area.size(); ++i) {
    area[i] = raw[i];
  }
  std::string serial;
  serial.reserve(area.size());
  for (std::size_t k = 0; k < area.size() / 2; ++k) {
    serial.push_back(area[2 * k + 1]);
    serial.push_back(area[2 * k]);
  }
  return serial;
}

std::string DumpDescriptor(const DescriptorBuffer& buffer) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string dump;
  dump.reserve(buffer.size() * 3 + buffer.size() / 16);
  for (std::size_t i = 0; i < buffer.size(); ++i) {
    dump.push_back(' ');
    dump.push_back(kDigits[buffer[i] >> 4U]);
    dump.push_back(kDigits[buffer[i] & 0x0FU]);
    if ((i + 1) % 16 == 0) {
      dump.push_back('\n');
    }
  }
  return dump;
}

}  // namespace vellumar

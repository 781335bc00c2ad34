#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace vellumar {

// The device descriptor travels as one 512-byte reply in the storage-descriptor layout: a
// header naming the offsets of four byte strings, then the strings themselves.
inline constexpr std::size_t kDescriptorBufferSize = 512;
using DescriptorBuffer = std::array<std::uint8_t, kDescriptorBufferSize>;

// Header fields, as byte offsets into the reply.
inline constexpr std::size_t kDescriptorVersionAt = 0;
inline constexpr std::size_t kDescriptorSizeAt = 4;
inline constexpr std::size_t kDescriptorRemovableAt = 10;
inline constexpr std::size_t kDescriptorVendorAt = 12;
inline constexpr std::size_t kDescriptorProductAt = 16;
inline constexpr std::size_t kDescriptorRevisionAt = 20;
inline constexpr std::size_t kDescriptorSerialAt = 24;
inline constexpr std::size_t kDescriptorBusTypeAt = 28;
// The fixed part of the header (up to and including the first raw-property byte).
inline constexpr std::size_t kDescriptorHeaderSize = 37;
// Where the builder puts the first string: the header rounded up to a multiple of 8.
inline constexpr std::size_t kDescriptorStringsAt = 40;

struct DeviceDescriptorHeader {
  std::uint32_t Size = 0;
  bool RemovableMedia = false;
  std::uint32_t VendorIdOffset = 0;
  std::uint32_t ProductIdOffset = 0;
  std::uint32_t ProductRevisionOffset = 0;
  std::uint32_t SerialNumberOffset = 0;
};

// What a platform knows about a device, in plain text; the serial is the drive's true serial.
struct DeviceStrings {
  std::string Vendor;
  std::string Product;
  std::string Revision;
  std::string Serial;
  bool Removable = false;
  std::uint8_t BusType = 0;
};

// Lays the strings out the way the platform's descriptor carries them. The serial is stored with
// each adjacent byte pair swapped (an odd-length serial padded with one trailing space first), as
// ATA serials arrive, so that reading it back with the pair swap yields the serial unchanged.
// Strings that do not fit the 512 bytes are cut.
DescriptorBuffer BuildDeviceDescriptor(const DeviceStrings& strings);

DeviceDescriptorHeader ParseDeviceDescriptorHeader(const DescriptorBuffer& buffer);

// The byte string at `offset`: empty for offset 0; otherwise the bytes from `offset` up to and
// including position `size`, stopping before the first zero byte and at the end of the buffer.
std::string DescriptorString(const DescriptorBuffer& buffer, std::uint32_t offset, std::uint32_t size);

// Reads the serial the way the descriptor carries it: the string's bytes copied into a zeroed
// 512-byte area, then every adjacent pair swapped over the whole area (NUL bytes included).
std::string SwapSerialPairs(const std::string& raw);

// " XX" per byte, a line break after every 16th.
std::string DumpDescriptor(const DescriptorBuffer& buffer);

}  // namespace vellumar

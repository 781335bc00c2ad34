#include "platform/linux/ata/ata_sense.h"

#include <algorithm>
#include <cstddef>

namespace vellumar::platform {

namespace {

constexpr std::uint8_t kAtaStatusReturnDescriptor = 0x09;
constexpr std::size_t kAtaStatusReturnLength = 14;

// Byte 0 bit 7: the information field (bytes 3-6) holds something.
constexpr std::uint8_t kFixedValid = 0x80;
// The fixed format's flags byte: the command was 48-bit, COUNT 15:8 and LBA 47:24 are not zero
// (this format has no room for them).
constexpr std::uint8_t kFlagExtended = 0x80;
constexpr std::uint8_t kFlagUpperLba = 0x20;

// Fixed format. libata has put the ATA registers in two places:
// - where a descriptor would start, as the kernel of the test rig (6.1) does: bytes 8-11 error,
//   status, device, COUNT 7:0, byte 16 the flags, 17-19 LBA 7:0, 15:8, 23:16. Every failed
//   command captured in the rig reads so (an ABRT: 04 41 e0 00 in bytes 8-11, the LBA sent back
//   in byte 17), with bytes 3-6 zero and VALID clear. That kernel sends 18 bytes, so LBA 23:8
//   never arrives: the LBA is not whole.
// - in the information field, as later kernels do: bytes 3-6 error, status, device, COUNT 7:0,
//   VALID set, byte 8 the flags, bytes 9-11 LBA 23:0.
// A drive that answered leaves DRDY or ERR in its status, so the information field is zero only
// in the first layout: it is read whenever VALID is set or bytes 3-6 are not all zero.
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
  const bool information =
      (sense[0] & kFixedValid) != 0 || (sense.size() >= 7 && (sense[3] | sense[4] | sense[5] | sense[6]) != 0);
  const std::size_t registers = information ? 3 : 8;  // error, status, device, count
  const std::size_t flags = information ? 8 : 16;
  const std::size_t lba = flags + 1;
  if (sense.size() < registers + 2) {
    return;
  }
  parsed.HasAtaRegisters = true;
  parsed.AtaError = sense[registers];
  parsed.AtaStatus = sense[registers + 1];
  if (sense.size() >= registers + 4) {
    parsed.AtaDevice = sense[registers + 2];
    parsed.AtaCount = sense[registers + 3];
  }
  if (sense.size() <= flags) {
    return;
  }
  parsed.AtaExtended = (sense[flags] & kFlagExtended) != 0;
  // The LBA bytes that arrived, even when it is not whole: a failed sanitize's reason is in 7:0.
  for (std::size_t i = 0; i < 3 && lba + i < sense.size(); ++i) {
    parsed.AtaLba |= std::uint64_t{sense[lba + i]} << (8U * i);
  }
  if (sense.size() >= lba + 3 && (sense[flags] & kFlagUpperLba) == 0) {
    parsed.HasAtaLba = true;
    parsed.AtaLbaMid = sense[lba + 1];
    parsed.AtaLbaHigh = sense[lba + 2];
  }
}

// The ATA Status Return descriptor: +2 bit 0 EXTEND, +3 error, +4/+5 COUNT 15:8/7:0, LBA 7:0,
// 15:8, 23:16 in +7/+9/+11 and, when EXTEND is set, 31:24, 39:32, 47:40 in +6/+8/+10; +12
// device, +13 status.
void ReadStatusReturn(const std::uint8_t* d, AtaSense& parsed) {
  parsed.HasAtaRegisters = true;
  parsed.AtaExtended = (d[2] & 0x01U) != 0;
  parsed.AtaError = d[3];
  parsed.AtaCount = static_cast<std::uint16_t>(d[5] | (parsed.AtaExtended ? d[4] << 8U : 0U));
  parsed.AtaLba = d[7] | (std::uint64_t{d[9]} << 8U) | (std::uint64_t{d[11]} << 16U);
  if (parsed.AtaExtended) {
    parsed.AtaLba |= (std::uint64_t{d[6]} << 24U) | (std::uint64_t{d[8]} << 32U) | (std::uint64_t{d[10]} << 40U);
  }
  parsed.AtaDevice = d[12];
  parsed.AtaStatus = d[13];
  parsed.HasAtaLba = true;
  parsed.AtaLbaMid = d[9];
  parsed.AtaLbaHigh = d[11];
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
      ReadStatusReturn(sense.data() + at, parsed);
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

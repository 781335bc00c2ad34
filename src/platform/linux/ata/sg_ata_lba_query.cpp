#include "platform/linux/ata/sg_ata_lba_query.h"

#include <scsi/sg.h>

#include <algorithm>

#include "platform/linux/ata/ata_sense.h"
#include "platform/linux/ata/sg_ata_passthrough.h"

namespace vellumar::platform {

namespace {

constexpr std::uint8_t kProtocolNonData = 3;
constexpr std::uint8_t kCheckCondition = 0x02;
constexpr std::uint8_t kStatusReturnDescriptor = 0x09;

// NO SENSE or RECOVERED ERROR with "ATA PASS-THROUGH INFORMATION AVAILABLE" (00/1D).
bool IsStatusReturn(std::uint8_t key, std::uint8_t asc, std::uint8_t ascq) {
  return (key == 0x00 || key == 0x01) && asc == 0x00 && ascq == 0x1D;
}

bool StatusGood(std::uint8_t status) { return (status & (kAtaStatusError | kAtaStatusDeviceFault)) == 0; }

std::optional<std::uint64_t> FromDescriptor(std::span<const std::uint8_t> sense, bool extended) {
  if (sense.size() < 8 || !IsStatusReturn(sense[1] & 0x0FU, sense[2], sense[3])) {
    return std::nullopt;
  }
  const std::size_t end = std::min<std::size_t>(sense.size(), 8U + sense[7]);
  for (std::size_t at = 8; at + 2 <= end; at += 2U + sense[at + 1]) {
    if (sense[at] != kStatusReturnDescriptor || sense[at + 1] < 12 || at + 14 > end) {
      continue;
    }
    const std::uint8_t* d = sense.data() + at;
    if (!StatusGood(d[13])) {
      return std::nullopt;
    }
    // LBA (7:0) in byte 7, (15:8) in 9, (23:16) in 11; the upper half in 6, 8 and 10.
    std::uint64_t lba = d[7] | (std::uint64_t{d[9]} << 8U) | (std::uint64_t{d[11]} << 16U);
    if (extended) {
      lba |= (std::uint64_t{d[6]} << 24U) | (std::uint64_t{d[8]} << 32U) | (std::uint64_t{d[10]} << 40U);
    } else {
      lba |= std::uint64_t{d[12] & 0x0FU} << 24U;  // a 28-bit LBA ends in the device register
    }
    return lba;
  }
  return std::nullopt;
}

std::optional<std::uint64_t> FromFixed(std::span<const std::uint8_t> sense, bool extended) {
  if (sense.size() < 14 || !IsStatusReturn(sense[2] & 0x0FU, sense[12], sense[13]) || !StatusGood(sense[4])) {
    return std::nullopt;
  }
  // Byte 8 bit 5: the upper LBA bytes are not zero, and this format cannot carry them.
  if (extended && (sense[8] & 0x20U) != 0) {
    return std::nullopt;
  }
  std::uint64_t lba = sense[9] | (std::uint64_t{sense[10]} << 8U) | (std::uint64_t{sense[11]} << 16U);
  if (!extended) {
    lba |= std::uint64_t{sense[5] & 0x0FU} << 24U;
  }
  return lba;
}

}  // namespace

std::array<std::uint8_t, 16> BuildLbaQuery16(std::uint8_t command, std::uint8_t slave, bool extended) {
  std::array<std::uint8_t, 16> cdb{};
  cdb[0] = kAtaPassThrough16;
  // PROTOCOL (4:1) non-data; EXTEND (0) for the 48-bit form.
  cdb[1] = static_cast<std::uint8_t>((kProtocolNonData << 1U) | (extended ? 1U : 0U));
  // CK_COND (5) 1: return the output registers, which hold the answer; no transfer.
  cdb[2] = 0x20;
  // DEVICE: LBA mode (bit 6), the slave bit (4); the other registers are zero for both commands.
  cdb[13] = static_cast<std::uint8_t>(0x40U | (slave != 0 ? 0x10U : 0U));
  cdb[14] = command;
  return cdb;
}

std::optional<std::uint64_t> ReturnedLbaFromSense(std::span<const std::uint8_t> sense, bool extended) {
  if (sense.empty()) {
    return std::nullopt;
  }
  const std::uint8_t code = sense[0] & 0x7FU;
  if (code == 0x72 || code == 0x73) {
    return FromDescriptor(sense, extended);
  }
  if (code == 0x70 || code == 0x71) {
    return FromFixed(sense, extended);
  }
  return std::nullopt;
}

std::optional<std::uint64_t> SgAtaLbaQuery::ReturnedLba(std::uint8_t slave, std::uint8_t command, bool extended) {
  std::array<std::uint8_t, 16> cdb = BuildLbaQuery16(command, slave, extended);
  std::array<std::uint8_t, 64> sense{};
  sg_io_hdr_t header = NonDataSgHeader(cdb, sense);
  if (ioctl_(fd_, SG_IO, &header) < 0 || header.host_status != 0 || (header.driver_status & ~0x08U) != 0 ||
      header.status != kCheckCondition) {
    return std::nullopt;
  }
  const std::size_t written = std::min<std::size_t>(header.sb_len_wr, sense.size());
  return ReturnedLbaFromSense(std::span<const std::uint8_t>(sense.data(), written), extended);
}

}  // namespace vellumar::platform

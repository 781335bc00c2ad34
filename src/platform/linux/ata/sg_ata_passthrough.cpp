#include "platform/linux/ata/sg_ata_passthrough.h"

#include <scsi/sg.h>

#include <algorithm>

#include "platform/linux/ata/ata_sense.h"

namespace vellumar::platform {

namespace {

constexpr unsigned kTimeoutMs = 60000;  // a drive may first have to spin up
constexpr std::uint8_t kScsiStatusGood = 0x00;
constexpr std::uint8_t kScsiStatusCheckCondition = 0x02;
constexpr unsigned kHostOk = 0x00;
constexpr unsigned kDriverSense = 0x08;  // "sense data was returned", not an error of its own

bool CommandWentWell(const sg_io_hdr_t& header, std::span<const std::uint8_t> sense) {
  if (header.host_status != kHostOk || (header.driver_status & ~kDriverSense) != 0) {
    return false;
  }
  if (header.status == kScsiStatusGood) {
    return true;
  }
  // libata answers with CHECK CONDITION when it returns the ATA registers; that alone is fine.
  if (header.status != kScsiStatusCheckCondition) {
    return false;
  }
  const std::size_t written = std::min<std::size_t>(header.sb_len_wr, sense.size());
  return IsAtaStatusReturnOnly(ParseAtaSense(sense.first(written)));
}

}  // namespace

std::array<std::uint8_t, 16> BuildAtaPassThrough16(const vellumar::AtaRegisters& registers, AtaProtocol protocol) {
  const bool dataIn = protocol == AtaProtocol::PioDataIn;
  std::array<std::uint8_t, 16> cdb{};
  cdb[0] = kAtaPassThrough16;
  // MULTIPLE_COUNT (7:5) 0, PROTOCOL (4:1), EXTEND (0) 0: a 28-bit command.
  cdb[1] = static_cast<std::uint8_t>(static_cast<unsigned>(protocol) << 1U);
  // OFF_LINE (7:6) 0; CK_COND (5) 0, because with it set libata reports some good data-in
  // commands as aborted; T_TYPE (4) 0; T_DIR (3) 1 = from the device; BYTE_BLOCK (2) 1 =
  // length in blocks; T_LENGTH (1:0) 2 = the length is in the sector count field.
  // A non-data command transfers nothing: all zero.
  cdb[2] = dataIn ? 0x0E : 0x00;
  cdb[3] = 0;                        // FEATURES (15:8), only for 48-bit commands
  cdb[4] = registers.Features;       // FEATURES (7:0)
  cdb[5] = 0;                        // COUNT (15:8)
  cdb[6] = registers.SectorCount;    // COUNT (7:0)
  cdb[7] = 0;                        // LBA (31:24)
  cdb[8] = registers.SectorNumber;   // LBA (7:0), the sector number register
  cdb[9] = 0;                        // LBA (39:32)
  cdb[10] = registers.CylinderLow;   // LBA (15:8), cylinder low
  cdb[11] = 0;                       // LBA (47:40)
  cdb[12] = registers.CylinderHigh;  // LBA (23:16), cylinder high
  cdb[13] = registers.DriveHead;     // DEVICE: 0xA0 master, 0xB0 slave
  cdb[14] = registers.Command;       // COMMAND
  cdb[15] = 0;                       // CONTROL
  return cdb;
}

bool SgAtaPassThrough::Execute(const vellumar::AtaRegisters& registers, AtaProtocol protocol, std::uint8_t* data,
                               unsigned length) {
  std::array<std::uint8_t, 16> cdb = BuildAtaPassThrough16(registers, protocol);
  std::array<std::uint8_t, 64> sense{};
  sg_io_hdr_t header{};
  header.interface_id = 'S';
  header.dxfer_direction = data != nullptr ? SG_DXFER_FROM_DEV : SG_DXFER_NONE;
  header.cmd_len = static_cast<unsigned char>(cdb.size());
  header.cmdp = cdb.data();
  header.mx_sb_len = static_cast<unsigned char>(sense.size());
  header.sbp = sense.data();
  header.dxfer_len = length;
  header.dxferp = data;
  header.timeout = kTimeoutMs;
  if (ioctl_(fd_, SG_IO, &header) < 0) {
    return false;
  }
  if (!CommandWentWell(header, sense)) {
    return false;
  }
  // resid counts the bytes that did not arrive; a short sector is a failed read.
  const long transferred = static_cast<long>(length) - header.resid;
  return transferred >= static_cast<long>(length);
}

bool SgAtaPassThrough::NonDataWithResult(const vellumar::AtaRegisters& registers, vellumar::AtaRegisters& result) {
  std::array<std::uint8_t, 16> cdb = BuildAtaPassThrough16(registers, AtaProtocol::NonData);
  cdb[2] = 0x20;  // CK_COND: return the registers even though the command went well
  std::array<std::uint8_t, 64> sense{};
  sg_io_hdr_t header = NonDataSgHeader(cdb, sense);
  if (ioctl_(fd_, SG_IO, &header) < 0 || !CommandWentWell(header, sense)) {
    return false;
  }
  const AtaSense parsed =
      ParseAtaSense(std::span<const std::uint8_t>(sense).first(std::min<std::size_t>(header.sb_len_wr, sense.size())));
  if (!parsed.HasAtaLba) {
    return false;
  }
  result = registers;
  result.CylinderLow = parsed.AtaLbaMid;
  result.CylinderHigh = parsed.AtaLbaHigh;
  return true;
}

bool SgAtaPassThrough::NonData(const vellumar::AtaRegisters& registers) {
  return Execute(registers, AtaProtocol::NonData, nullptr, 0);
}

bool SgAtaPassThrough::PioDataIn(const vellumar::AtaRegisters& registers,
                                 std::span<std::uint8_t, vellumar::kAtaSectorBytes> destination) {
  // A failed command may still have scribbled over the transfer buffer, so read into our own.
  vellumar::AtaSector sector{};
  if (!Execute(registers, AtaProtocol::PioDataIn, sector.data(), static_cast<unsigned>(sector.size()))) {
    return false;
  }
  std::copy(sector.begin(), sector.end(), destination.begin());
  return true;
}

sg_io_hdr_t NonDataSgHeader(std::array<std::uint8_t, 16>& cdb, std::array<std::uint8_t, 64>& sense) {
  sg_io_hdr_t header{};
  header.interface_id = 'S';
  header.dxfer_direction = SG_DXFER_NONE;
  header.cmd_len = static_cast<unsigned char>(cdb.size());
  header.cmdp = cdb.data();
  header.mx_sb_len = static_cast<unsigned char>(sense.size());
  header.sbp = sense.data();
  header.timeout = kTimeoutMs;
  return header;
}

}  // namespace vellumar::platform

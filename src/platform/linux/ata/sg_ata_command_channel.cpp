#include "platform/linux/ata/sg_ata_command_channel.h"

#include <scsi/sg.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <limits>
#include <string>
#include <system_error>
#include <utility>
#include <vector>

#include "devices/ata/ata_transport.h"
#include "platform/linux/ata/ata_sense.h"
#include "platform/linux/ata/sg_ata_passthrough.h"

namespace vellumar::platform {

namespace {

using vellumar::AtaCommand;
using vellumar::AtaDataDirection;
using vellumar::AtaReply;
using vellumar::AtaReplyKind;

constexpr std::uint8_t kChannelStatusGood = 0x00;
constexpr std::uint8_t kChannelCheckCondition = 0x02;
constexpr unsigned kChannelDriverSense = 0x08;  // "sense data was returned", not an error of its own
constexpr std::uint8_t kSenseKeyIllegalRequest = 0x05;
constexpr std::uint64_t kLba28End = std::uint64_t{1} << 28U;
constexpr std::uint64_t kLba48End = std::uint64_t{1} << 48U;

std::string Hex(unsigned value) {
  std::array<char, 16> text{};
  const int length = std::snprintf(text.data(), text.size(), "0x%02x", value);
  return {text.data(), static_cast<std::size_t>(std::clamp(length, 0, 15))};
}

std::string SenseText(const AtaSense& sense) {
  std::array<char, 24> text{};
  const int length = std::snprintf(text.data(), text.size(), "sense %02x/%02x/%02x", unsigned{sense.SenseKey},
                                   unsigned{sense.Asc}, unsigned{sense.Ascq});
  return {text.data(), static_cast<std::size_t>(std::clamp(length, 0, 23))};
}

AtaReply NotCarried(std::string detail) {
  AtaReply reply;
  reply.Detail = std::move(detail);
  return reply;
}

// The bytes a data command moves: COUNT sectors, 0 meaning 256 (28-bit) or 65,536 (48-bit).
std::size_t TransferBytes(const AtaCommand& command) {
  if (command.Direction == AtaDataDirection::None) {
    return 0;
  }
  const std::size_t sectors = command.Count != 0 ? command.Count : (command.Extended ? 65536U : 256U);
  return sectors * vellumar::kAtaSectorBytes;
}

// A 28-bit command has no room for FEATURE 15:8, COUNT 15:8 or LBA 47:28. Cutting them off could
// aim a command at another address, so such a command is not sent.
bool FitsItsForm(const AtaCommand& command) {
  if (command.Extended) {
    return command.Lba < kLba48End;
  }
  return command.Feature <= 0xFFU && command.Count <= 0xFFU && command.Lba < kLba28End;
}

// SG_IO counts milliseconds in an unsigned int: a timeout of hours fits, longer ones are held at
// the most it can say (49 days).
unsigned TimeoutMilliseconds(std::uint32_t seconds) {
  return static_cast<unsigned>(
      std::min<std::uint64_t>(std::uint64_t{seconds} * 1000U, std::numeric_limits<unsigned>::max()));
}

std::uint8_t Byte(std::uint64_t value, unsigned shift) { return static_cast<std::uint8_t>((value >> shift) & 0xFFU); }

}  // namespace

std::array<std::uint8_t, 16> BuildAtaCommand16(const AtaCommand& command, std::uint8_t slave) {
  const bool data = command.Direction != AtaDataDirection::None;
  const bool in = command.Direction == AtaDataDirection::In;
  const bool ext = command.Extended;
  const AtaProtocol protocol = !data ? AtaProtocol::NonData : (in ? AtaProtocol::PioDataIn : AtaProtocol::PioDataOut);
  std::array<std::uint8_t, 16> cdb{};
  cdb[0] = kAtaPassThrough16;
  // MULTIPLE_COUNT (7:5) 0; PROTOCOL (4:1); EXTEND (0) 1 for a 48-bit command, whose upper
  // bytes of FEATURE, COUNT and LBA follow in bytes 3, 5, 7, 9 and 11.
  cdb[1] = static_cast<std::uint8_t>((static_cast<unsigned>(protocol) << 1U) | (ext ? 1U : 0U));
  // OFF_LINE (7:6) 0; CK_COND (5) 1 only for a non-data command that wants its registers back
  // (with data in, libata on AHCI reports the command aborted though the data all arrived);
  // T_TYPE (4) 0; T_DIR (3) 1 = from the device; BYTE_BLOCK (2) 1 = the length counts blocks;
  // T_LENGTH (1:0) 2 = the length is in COUNT.
  if (data) {
    cdb[2] = static_cast<std::uint8_t>(0x06U | (in ? 0x08U : 0U));
  } else if (command.ReturnRegisters) {
    cdb[2] = 0x20;
  }
  cdb[3] = ext ? Byte(command.Feature, 8) : 0;  // FEATURE (15:8)
  cdb[4] = Byte(command.Feature, 0);            // FEATURE (7:0)
  cdb[5] = ext ? Byte(command.Count, 8) : 0;    // COUNT (15:8)
  cdb[6] = Byte(command.Count, 0);              // COUNT (7:0)
  cdb[7] = ext ? Byte(command.Lba, 24) : 0;     // LBA (31:24)
  cdb[8] = Byte(command.Lba, 0);                // LBA (7:0)
  cdb[9] = ext ? Byte(command.Lba, 32) : 0;     // LBA (39:32)
  cdb[10] = Byte(command.Lba, 8);               // LBA (15:8)
  cdb[11] = ext ? Byte(command.Lba, 40) : 0;    // LBA (47:40)
  cdb[12] = Byte(command.Lba, 16);              // LBA (23:16)
  // DEVICE: LBA mode (6), the slave (4); a 28-bit command's LBA (27:24) in bits 3:0.
  cdb[13] = static_cast<std::uint8_t>(0x40U | (slave != 0 ? 0x10U : 0U) | (ext ? 0U : Byte(command.Lba, 24) & 0x0FU));
  cdb[14] = command.Command;  // COMMAND
  cdb[15] = 0;                // CONTROL
  return cdb;
}

AtaReply AtaReplyFromSense(std::uint8_t scsiStatus, std::span<const std::uint8_t> sense, bool extended) {
  AtaReply reply;
  if (scsiStatus == kChannelStatusGood) {
    reply.Kind = AtaReplyKind::Completed;
    return reply;
  }
  if (scsiStatus != kChannelCheckCondition) {
    reply.Detail = "SCSI status " + Hex(scsiStatus);
    return reply;
  }
  const AtaSense parsed = ParseAtaSense(sense);
  if (!parsed.Valid) {
    reply.Detail = sense.empty() ? "no sense data" : "sense format " + Hex(sense[0] & 0x7FU);
    return reply;
  }
  reply.Detail = SenseText(parsed);
  // A bridge or a SCSI layer that refused the pass-through itself: nothing came from the drive.
  if (parsed.SenseKey == kSenseKeyIllegalRequest || !parsed.HasAtaRegisters) {
    return reply;
  }
  reply.RegistersKnown = true;
  reply.Status = parsed.AtaStatus;
  reply.Error = parsed.AtaError;
  reply.Count = parsed.AtaCount;
  // A 28-bit command's answer has LBA 27:24 in the device register, and nothing above.
  reply.Lba = extended ? parsed.AtaLba : (parsed.AtaLba & 0xFFFFFFU) | (std::uint64_t{parsed.AtaDevice & 0x0FU} << 24U);
  if (IsAtaStatusReturnOnly(parsed)) {
    reply.Kind = AtaReplyKind::Completed;
    reply.Detail.clear();
  } else if ((parsed.AtaStatus & kAtaStatusError) != 0) {
    reply.Kind = AtaReplyKind::DeviceError;
  }
  // Otherwise (BSY or DRQ left set, a device fault alone) the command did not end cleanly, and
  // whether it took effect is unknown: not carried.
  return reply;
}

SgAtaCommandChannel::SgAtaCommandChannel(int fd, std::uint8_t slave, IoctlCaller ioctl)
    : fd_(fd), slave_(slave), ioctl_(std::move(ioctl)) {}

AtaReply SgAtaCommandChannel::Run(const AtaCommand& command, std::span<std::uint8_t> data) {
  if (!FitsItsForm(command)) {
    return NotCarried("the registers do not fit a 28-bit command");
  }
  const std::size_t bytes = TransferBytes(command);
  if (command.Direction != AtaDataDirection::None && data.size() != bytes) {
    return NotCarried("the buffer holds " + std::to_string(data.size()) + " bytes, the command moves " +
                      std::to_string(bytes));
  }
  // Data in lands in a buffer of our own: a failed command may have written part of it.
  const bool in = command.Direction == AtaDataDirection::In;
  std::vector<std::uint8_t> incoming(in ? bytes : 0U);
  std::array<std::uint8_t, 16> cdb = BuildAtaCommand16(command, slave_);
  std::array<std::uint8_t, 64> sense{};
  sg_io_hdr_t header{};
  header.interface_id = 'S';
  header.dxfer_direction = command.Direction == AtaDataDirection::None ? SG_DXFER_NONE
                           : in                                        ? SG_DXFER_FROM_DEV
                                                                       : SG_DXFER_TO_DEV;
  header.cmd_len = static_cast<unsigned char>(cdb.size());
  header.cmdp = cdb.data();
  header.mx_sb_len = static_cast<unsigned char>(sense.size());
  header.sbp = sense.data();
  header.dxfer_len = static_cast<unsigned>(bytes);
  header.dxferp = bytes == 0 ? nullptr : (in ? incoming.data() : data.data());
  header.timeout = TimeoutMilliseconds(command.TimeoutSeconds);
  if (ioctl_(fd_, SG_IO, &header) < 0) {
    const int error = errno;
    return NotCarried("SG_IO failed: " + std::generic_category().message(error));
  }
  if (header.host_status != 0) {
    return NotCarried("host status " + Hex(header.host_status));
  }
  if ((header.driver_status & ~kChannelDriverSense) != 0) {
    return NotCarried("driver status " + Hex(header.driver_status));
  }
  const std::size_t written = std::min<std::size_t>(header.sb_len_wr, sense.size());
  AtaReply reply =
      AtaReplyFromSense(header.status, std::span<const std::uint8_t>(sense.data(), written), command.Extended);
  if (reply.Kind != AtaReplyKind::Completed || bytes == 0) {
    return reply;
  }
  // resid counts the bytes that did not move: a part of a password sector or of IDENTIFY is no
  // command at all.
  if (header.resid != 0) {
    reply.Kind = AtaReplyKind::NotCarried;
    reply.Detail =
        "short transfer: " + std::to_string(header.resid) + " of " + std::to_string(bytes) + " bytes did not move";
    return reply;
  }
  if (in) {
    std::copy(incoming.begin(), incoming.end(), data.begin());
  }
  return reply;
}

}  // namespace vellumar::platform

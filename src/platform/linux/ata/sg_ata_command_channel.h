#pragma once

#include <array>
#include <cstdint>
#include <span>

#include "devices/ata/ata_command.h"
#include "platform/linux/io/ioctl_caller.h"

namespace vellumar::platform {

// The ATA PASS-THROUGH (16) command block of one full ATA command. The device register is LBA
// mode with the slave bit when `slave` is not 0; a 28-bit command's LBA 27:24 goes there too.
std::array<std::uint8_t, 16> BuildAtaCommand16(const vellumar::AtaCommand& command, std::uint8_t slave);

// What a delivered ATA PASS-THROUGH's SCSI status and sense data say: `sense` holds only the bytes
// the kernel wrote. `extended` tells whether the command was 48-bit (a 28-bit answer's LBA 27:24
// is in the device register). The fixed format of the older kernels brings LBA 7:0 only; the
// reply's other LBA bytes then read as zero.
vellumar::AtaReply AtaReplyFromSense(std::uint8_t scsiStatus, std::span<const std::uint8_t> sense, bool extended);

// SG_IO with ATA PASS-THROUGH (16) on the drive's open block-device descriptor, which the caller
// keeps open (read-write for data-out commands) and closes.
class SgAtaCommandChannel final : public vellumar::AtaCommandChannel {
 public:
  SgAtaCommandChannel(int fd, std::uint8_t slave, IoctlCaller ioctl = SystemIoctl());

  vellumar::AtaReply Run(const vellumar::AtaCommand& command, std::span<std::uint8_t> data) override;

 private:
  int fd_;
  std::uint8_t slave_;
  IoctlCaller ioctl_;
};

}  // namespace vellumar::platform

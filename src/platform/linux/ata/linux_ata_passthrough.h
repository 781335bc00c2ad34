#pragma once

#include "devices/ata/ata_transport.h"
#include "platform/linux/ata/hdio_route.h"
#include "platform/linux/ata/sg_ata_passthrough.h"
#include "platform/linux/io/ioctl_caller.h"

namespace vellumar::platform {

// ATA commands to a drive through its open block-device descriptor (read-write; the caller
// keeps it open and closes it). The pass-through route is SG_IO, the legacy route the HDIO
// requests. The descriptor names the device, so the slave byte only shapes the device register.
class LinuxAtaPassThrough final : public vellumar::AtaPassThrough {
 public:
  explicit LinuxAtaPassThrough(int fd, IoctlCaller ioctl = SystemIoctl());

  bool NonDataCommand(vellumar::AtaRoute route, std::uint8_t slave, const vellumar::AtaRegisters& registers) override;
  bool PioDataIn(vellumar::AtaRoute route, std::uint8_t slave, const vellumar::AtaRegisters& registers,
                 std::span<std::uint8_t, vellumar::kAtaSectorBytes> destination) override;
  bool NonDataCommandWithResult(vellumar::AtaRoute route, std::uint8_t slave, const vellumar::AtaRegisters& registers,
                                vellumar::AtaRegisters& result) override;

 private:
  SgAtaPassThrough passThrough_;
  HdioAtaRoute legacy_;
};

}  // namespace vellumar::platform

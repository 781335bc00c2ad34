#pragma once

#include <cstdint>
#include <span>

#include "devices/ata/ata_transport.h"
#include "platform/linux/io/ioctl_caller.h"

namespace vellumar::platform {

// The second route: the older drive-command requests that libata still answers.
// HDIO_GET_IDENTITY carries IDENTIFY DEVICE, HDIO_DRIVE_CMD carries S.M.A.R.T. data-in commands.
// Both address the device behind the descriptor, so they need no master/slave byte.
class HdioAtaRoute {
 public:
  HdioAtaRoute(int fd, IoctlCaller ioctl) : fd_(fd), ioctl_(std::move(ioctl)) {}

  // IDENTIFY DEVICE (0xEC) or SMART READ DATA (0xB0/0xD0) of one sector; anything else fails.
  // `destination` changes only on success.
  bool PioDataIn(const vellumar::AtaRegisters& registers,
                 std::span<std::uint8_t, vellumar::kAtaSectorBytes> destination);

 private:
  bool Identify(std::span<std::uint8_t, vellumar::kAtaSectorBytes> destination);
  bool SmartDataIn(const vellumar::AtaRegisters& registers,
                   std::span<std::uint8_t, vellumar::kAtaSectorBytes> destination);

  int fd_;
  IoctlCaller ioctl_;
};

// HDIO_GET_IDENTITY answers from the kernel's copy with the serial number, firmware revision
// and model number already in reading order; this swaps them back into ATA word order so one
// decoder serves both routes.
void RestoreAtaTextWordOrder(std::span<std::uint8_t, vellumar::kAtaSectorBytes> identify);

}  // namespace vellumar::platform

#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>

#include "devices/ata/hidden_area.h"
#include "platform/linux/io/ioctl_caller.h"

namespace vellumar::platform {

// The ATA PASS-THROUGH (16) block of a non-data command that asks for the output registers
// (CK_COND), 48-bit when `extended`.
std::array<std::uint8_t, 16> BuildLbaQuery16(std::uint8_t command, std::uint8_t slave, bool extended);

// The LBA in the ATA registers that sense data returns: the ATA Status Return descriptor of the
// descriptor format, or the fixed format's fields when the upper bytes are zero. nullopt when
// the command failed or the LBA is not all there.
std::optional<std::uint64_t> ReturnedLbaFromSense(std::span<const std::uint8_t> sense, bool extended);

// SG_IO on the drive's open descriptor.
class SgAtaLbaQuery final : public vellumar::AtaLbaQuery {
 public:
  SgAtaLbaQuery(int fd, IoctlCaller ioctl) : fd_(fd), ioctl_(std::move(ioctl)) {}
  std::optional<std::uint64_t> ReturnedLba(std::uint8_t slave, std::uint8_t command, bool extended) override;

 private:
  int fd_;
  IoctlCaller ioctl_;
};

}  // namespace vellumar::platform

#pragma once

#include <scsi/sg.h>

#include <array>
#include <cstdint>
#include <span>

#include "devices/ata/ata_transport.h"
#include "platform/linux/io/ioctl_caller.h"

namespace vellumar::platform {

// ATA protocols of the pass-through CDB that this program uses.
enum class AtaProtocol : std::uint8_t { NonData = 3, PioDataIn = 4, PioDataOut = 5 };

// The ATA PASS-THROUGH (16) command block for one 28-bit command.
std::array<std::uint8_t, 16> BuildAtaPassThrough16(const vellumar::AtaRegisters& registers, AtaProtocol protocol);

// The first route: SG_IO with ATA PASS-THROUGH (16) on the drive's open descriptor.
class SgAtaPassThrough {
 public:
  SgAtaPassThrough(int fd, IoctlCaller ioctl) : fd_(fd), ioctl_(std::move(ioctl)) {}

  bool NonData(const vellumar::AtaRegisters& registers);
  // A non-data command asked to return its registers (CK_COND); `result` gets the LBA mid and
  // high registers as CylinderLow and CylinderHigh.
  bool NonDataWithResult(const vellumar::AtaRegisters& registers, vellumar::AtaRegisters& result);
  // `destination` changes only when the whole sector came back from a command that succeeded.
  bool PioDataIn(const vellumar::AtaRegisters& registers,
                 std::span<std::uint8_t, vellumar::kAtaSectorBytes> destination);

 private:
  bool Execute(const vellumar::AtaRegisters& registers, AtaProtocol protocol, std::uint8_t* data, unsigned length);

  int fd_;
  IoctlCaller ioctl_;
};

// The SG_IO header of an ATA PASS-THROUGH (16) without data: `cdb` and `sense` must outlive it.
// The timeout leaves a drive time to spin up first.
sg_io_hdr_t NonDataSgHeader(std::array<std::uint8_t, 16>& cdb, std::array<std::uint8_t, 64>& sense);

}  // namespace vellumar::platform

#include "platform/linux/ata/linux_ata_passthrough.h"

#include <utility>

#include "devices/ata/ata_commands.h"

namespace vellumar::platform {

namespace {

// The register block with the device register the slave byte calls for.
vellumar::AtaRegisters Addressed(std::uint8_t slave, vellumar::AtaRegisters registers) {
  registers.DriveHead = vellumar::DriveHeadFor(slave);
  return registers;
}

}  // namespace

LinuxAtaPassThrough::LinuxAtaPassThrough(int fd, IoctlCaller ioctl)
    : passThrough_(fd, ioctl), legacy_(fd, std::move(ioctl)) {}

bool LinuxAtaPassThrough::NonDataCommand(vellumar::AtaRoute route, std::uint8_t slave,
                                         const vellumar::AtaRegisters& registers) {
  // Non-data commands go through the pass-through only.
  return route == vellumar::AtaRoute::PassThrough && passThrough_.NonData(Addressed(slave, registers));
}

bool LinuxAtaPassThrough::NonDataCommandWithResult(vellumar::AtaRoute route, std::uint8_t slave,
                                                   const vellumar::AtaRegisters& registers,
                                                   vellumar::AtaRegisters& result) {
  // Only the pass-through hands the registers back.
  return route == vellumar::AtaRoute::PassThrough &&
         passThrough_.NonDataWithResult(Addressed(slave, registers), result);
}

bool LinuxAtaPassThrough::PioDataIn(vellumar::AtaRoute route, std::uint8_t slave,
                                    const vellumar::AtaRegisters& registers,
                                    std::span<std::uint8_t, vellumar::kAtaSectorBytes> destination) {
  if (route == vellumar::AtaRoute::PassThrough) {
    return passThrough_.PioDataIn(Addressed(slave, registers), destination);
  }
  return legacy_.PioDataIn(registers, destination);
}

}  // namespace vellumar::platform

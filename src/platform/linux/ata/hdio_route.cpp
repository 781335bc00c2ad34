#include "platform/linux/ata/hdio_route.h"

#include <linux/hdreg.h>

#include <algorithm>
#include <array>
#include <utility>

#include "devices/ata/ata_commands.h"

namespace vellumar::platform {

namespace {

// HDIO_DRIVE_CMD's argument: command, sector number, feature, sector count, then the data.
constexpr std::size_t kDriveCmdHeader = 4;

// Serial number, firmware revision, model number: first word and word count.
constexpr std::array<std::pair<std::size_t, std::size_t>, 3> kTextFields = {{{10, 10}, {23, 4}, {27, 20}}};

}  // namespace

void RestoreAtaTextWordOrder(std::span<std::uint8_t, vellumar::kAtaSectorBytes> identify) {
  for (const auto& [first, count] : kTextFields) {
    for (std::size_t word = first; word < first + count; ++word) {
      std::swap(identify[2 * word], identify[2 * word + 1]);
    }
  }
}

bool HdioAtaRoute::PioDataIn(const vellumar::AtaRegisters& registers,
                             std::span<std::uint8_t, vellumar::kAtaSectorBytes> destination) {
  if (registers.Command == vellumar::kAtaCommandIdentifyDevice) {
    return Identify(destination);
  }
  // The kernel fills as many sectors as the count asks for, and the buffer holds one: only
  // SMART READ DATA of one sector goes this way.
  if (registers.Command == vellumar::kAtaCommandSmart && registers.Features == vellumar::kSmartFeatureReadData &&
      registers.SectorCount == 1) {
    return SmartDataIn(registers, destination);
  }
  return false;
}

bool HdioAtaRoute::Identify(std::span<std::uint8_t, vellumar::kAtaSectorBytes> destination) {
  vellumar::AtaSector sector{};
  if (ioctl_(fd_, HDIO_GET_IDENTITY, sector.data()) < 0) {
    return false;
  }
  RestoreAtaTextWordOrder(sector);
  std::copy(sector.begin(), sector.end(), destination.begin());
  return true;
}

bool HdioAtaRoute::SmartDataIn(const vellumar::AtaRegisters& registers,
                               std::span<std::uint8_t, vellumar::kAtaSectorBytes> destination) {
  // libata turns this into the same S.M.A.R.T. command, with the cylinder registers set for us.
  std::array<std::uint8_t, kDriveCmdHeader + vellumar::kAtaSectorBytes> buffer{};
  buffer[0] = registers.Command;
  buffer[1] = registers.SectorNumber;
  buffer[2] = registers.Features;
  buffer[3] = registers.SectorCount;  // also the number of sectors to read
  if (ioctl_(fd_, HDIO_DRIVE_CMD, buffer.data()) < 0) {
    return false;
  }
  std::copy(buffer.begin() + kDriveCmdHeader, buffer.end(), destination.begin());
  return true;
}

}  // namespace vellumar::platform

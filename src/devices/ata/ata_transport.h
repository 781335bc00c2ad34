#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

namespace vellumar {

inline constexpr std::size_t kAtaSectorBytes = 512;
using AtaSector = std::array<std::uint8_t, kAtaSectorBytes>;

// The seven register values of one ATA command, in task-file order.
struct AtaRegisters {
  std::uint8_t Features = 0;
  std::uint8_t SectorCount = 0;
  std::uint8_t SectorNumber = 0;
  std::uint8_t CylinderLow = 0;
  std::uint8_t CylinderHigh = 0;
  std::uint8_t DriveHead = 0;
  std::uint8_t Command = 0;

  bool operator==(const AtaRegisters&) const = default;
};

// The ways a platform can carry a command: a generic ATA pass-through first, and the older
// drive-command requests that some drivers still answer when the pass-through is refused.
enum class AtaRoute { PassThrough, Legacy };

// Carries ATA commands to one open drive. `slave` is the drive's IsIDESlave byte (0 master,
// 1 slave). Failures come back only as false; an implementation logs nothing and leaves
// `destination` untouched unless the whole sector arrived.
class AtaPassThrough {
 public:
  virtual ~AtaPassThrough() = default;

  // A command without data transfer.
  virtual bool NonDataCommand(AtaRoute route, std::uint8_t slave, const AtaRegisters& registers) = 0;

  // A PIO data-in command that returns one 512-byte sector.
  virtual bool PioDataIn(AtaRoute route, std::uint8_t slave, const AtaRegisters& registers,
                         std::span<std::uint8_t, kAtaSectorBytes> destination) = 0;

  // A command without data transfer whose answer is in the registers it leaves behind (S.M.A.R.T.
  // RETURN STATUS). `result` is written only on success. A route that cannot return the
  // registers fails.
  virtual bool NonDataCommandWithResult(AtaRoute route, std::uint8_t slave, const AtaRegisters& registers,
                                        AtaRegisters& result) {
    (void)route;
    (void)slave;
    (void)registers;
    (void)result;
    return false;
  }
};

}  // namespace vellumar

#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace vellumar {

// How a command moves data: none, one or more sectors from the drive, or to it.
enum class AtaDataDirection { None, In, Out };

// One ATA command with the full 48-bit register set. The firmware-erase commands need it: the
// sanitize commands carry a signature in the LBA, and their status answers in the count and LBA
// registers.
struct AtaCommand {
  std::uint8_t Command = 0;
  std::uint16_t Feature = 0;
  std::uint16_t Count = 0;
  std::uint64_t Lba = 0;  // 48 bits for an extended command, 28 otherwise
  bool Extended = false;
  AtaDataDirection Direction = AtaDataDirection::None;
  // The registers are wanted back even when the command went well (a status query).
  bool ReturnRegisters = false;
  // How long the drive may take before the command counts as failed. An erase can take hours.
  std::uint32_t TimeoutSeconds = 60;

  bool operator==(const AtaCommand&) const = default;
};

enum class AtaReplyKind {
  Completed,    // the drive finished the command without an error
  DeviceError,  // the drive answered with its error bit set (ABRT: the command is not supported, or refused now)
  NotCarried    // the path did not deliver the command or its answer (a bridge, a timeout, a reset)
};

struct AtaReply {
  AtaReplyKind Kind = AtaReplyKind::NotCarried;
  bool RegistersKnown = false;  // the fields below came back from the drive
  std::uint8_t Status = 0;
  std::uint8_t Error = 0;
  std::uint16_t Count = 0;
  std::uint64_t Lba = 0;
  // For people and the log: what the transport said ("sense 05/20/00", "timed out").
  std::string Detail;
};

// Carries full ATA commands to the open drive. Only the generic pass-through route: the older
// drive-command requests cannot carry data out or 48-bit registers. `data` holds whole sectors;
// for a data-in command it changes only when the command completed.
class AtaCommandChannel {
 public:
  virtual ~AtaCommandChannel() = default;
  virtual AtaReply Run(const AtaCommand& command, std::span<std::uint8_t> data) = 0;
};

}  // namespace vellumar

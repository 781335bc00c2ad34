#pragma once

#include <cstdint>

#include "devices/ata/ata_command.h"

namespace vellumar {

inline constexpr std::uint8_t kAtaSanitizeDevice = 0xB4;

// The SANITIZE DEVICE feature codes this program sends.
enum class AtaSanitizeAction : std::uint16_t {
  Status = 0x0000,
  CryptoScramble = 0x0011,
  BlockErase = 0x0012,
  Overwrite = 0x0014
};

// The command block of one sanitize action. The erase actions carry their signature in the LBA,
// so a stray command cannot start one; overwrite writes one pass of zeros.
AtaCommand AtaSanitizeCommand(AtaSanitizeAction action);

struct AtaSanitizeStatus {
  bool Answered = false;               // the drive answered SANITIZE STATUS EXT
  bool CompletedWithoutError = false;  // count bit 15
  bool InProgress = false;             // bit 14
  bool Frozen = false;                 // bit 13: SANITIZE FREEZE LOCK until a power cycle
  bool Failed = false;                 // the status command itself reported the last sanitize failed
  std::uint16_t Progress = 0;          // of 65,536, while in progress
  std::uint8_t FailureReason = 0;      // LBA 7:0 of a failed status

  bool operator==(const AtaSanitizeStatus&) const = default;
};

// What the reply to SANITIZE STATUS EXT says. A drive that aborts the status command after a
// failed sanitize reports the failure that way.
AtaSanitizeStatus DecodeAtaSanitizeStatus(const AtaReply& reply);

}  // namespace vellumar

#include "devices/ata/ata_sanitize.h"

namespace vellumar {

namespace {

// Signatures in the LBA field: "Cryp", "BkEr", and "OW" above a 32-bit pattern.
constexpr std::uint64_t kCryptoSignature = 0x43727970;
constexpr std::uint64_t kBlockEraseSignature = 0x426B4572;
constexpr std::uint64_t kOverwriteSignature = 0x4F57ULL << 32U;

}  // namespace

AtaCommand AtaSanitizeCommand(AtaSanitizeAction action) {
  AtaCommand command;
  command.Command = kAtaSanitizeDevice;
  command.Feature = static_cast<std::uint16_t>(action);
  command.Extended = true;
  switch (action) {
    case AtaSanitizeAction::Status:
      // COUNT bit 0 (clear a failed state) stays 0: a failure must stay visible.
      command.ReturnRegisters = true;
      break;
    case AtaSanitizeAction::CryptoScramble:
      // COUNT bit 4 FAILURE MODE 0: a failed sanitize leaves the drive refusing reads until a
      // new sanitize succeeds, rather than usable half-erased.
      command.Lba = kCryptoSignature;
      break;
    case AtaSanitizeAction::BlockErase:
      command.Lba = kBlockEraseSignature;
      break;
    case AtaSanitizeAction::Overwrite:
      // The pattern (LBA 31:0) is zero; COUNT 3:0 one pass (0 would mean sixteen), INVERT
      // (bit 7) off.
      command.Lba = kOverwriteSignature;
      command.Count = 1;
      break;
  }
  return command;
}

AtaSanitizeStatus DecodeAtaSanitizeStatus(const AtaReply& reply) {
  AtaSanitizeStatus status;
  if (reply.Kind == AtaReplyKind::NotCarried || !reply.RegistersKnown) {
    return status;
  }
  status.Answered = true;
  if (reply.Kind == AtaReplyKind::DeviceError) {
    status.Failed = true;
    status.FailureReason = static_cast<std::uint8_t>(reply.Lba & 0xFFU);
    return status;
  }
  status.CompletedWithoutError = (reply.Count & 0x8000U) != 0;
  status.InProgress = (reply.Count & 0x4000U) != 0;
  status.Frozen = (reply.Count & 0x2000U) != 0;
  if (status.InProgress) {
    status.Progress = static_cast<std::uint16_t>(reply.Lba & 0xFFFFU);
  }
  return status;
}

}  // namespace vellumar

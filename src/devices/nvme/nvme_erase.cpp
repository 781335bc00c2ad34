#include "devices/nvme/nvme_erase.h"

namespace vellumar {

namespace {

namespace L = nvme_layout;

std::uint32_t Dword(std::span<const std::uint8_t, kNvmeSanitizeLogBytes> page, std::size_t at) {
  return static_cast<std::uint32_t>(page[at]) | (static_cast<std::uint32_t>(page[at + 1]) << 8U) |
         (static_cast<std::uint32_t>(page[at + 2]) << 16U) | (static_cast<std::uint32_t>(page[at + 3]) << 24U);
}

std::uint16_t Word(std::span<const std::uint8_t, kNvmeSanitizeLogBytes> page, std::size_t at) {
  return static_cast<std::uint16_t>(page[at] | (page[at + 1] << 8U));
}

// 0xFFFFFFFF: no estimate. 0 means "done when the command completes", an estimate of its own.
std::optional<std::uint32_t> Estimate(std::uint32_t value) {
  return value == 0xFFFFFFFFU ? std::nullopt : std::optional<std::uint32_t>(value);
}

}  // namespace

NvmeAdminCommand FormatNvmCommand(std::uint32_t namespaceId, std::uint32_t lbaFormat, NvmeSecureErase erase,
                                  std::uint32_t timeoutSeconds) {
  NvmeAdminCommand command;
  command.Opcode = kNvmeAdminFormatNvm;
  command.NamespaceId = namespaceId;
  // CDW10: LBAF (3:0) and its upper bits (13:12), MSET (4) 0, PI (7:5) 0, PIL (8) 0, SES (11:9).
  command.Cdw10 =
      (lbaFormat & 0x0FU) | (((lbaFormat >> 4U) & 0x03U) << 12U) | (static_cast<std::uint32_t>(erase) << 9U);
  command.TimeoutSeconds = timeoutSeconds;
  return command;
}

NvmeAdminCommand SanitizeCommand(NvmeSanitizeAction action, std::uint32_t timeoutSeconds) {
  NvmeAdminCommand command;
  command.Opcode = kNvmeAdminSanitize;
  // CDW10: SANACT (2:0); AUSE (3) 0, so a failure leaves the drive in failure mode rather than
  // usable half-erased; OWPASS (7:4) 1 pass; OIPBP (8) 0; NDAS (9) 0.
  command.Cdw10 = static_cast<std::uint32_t>(action);
  if (action == NvmeSanitizeAction::Overwrite) {
    command.Cdw10 |= 1U << 4U;
    command.Cdw11 = 0;  // the overwrite pattern: zeros
  }
  command.TimeoutSeconds = timeoutSeconds;
  return command;
}

NvmeAdminCommand SanitizeLogCommand() {
  NvmeAdminCommand command;
  command.Opcode = kNvmeAdminGetLogPage;
  command.NamespaceId = kNvmeGlobalNamespace;
  // NUMDL (31:16), dwords counted from zero; LID (7:0).
  command.Cdw10 = ((kNvmeSanitizeLogBytes / 4 - 1) << 16U) | kNvmeLogSanitize;
  return command;
}

NvmeSanitizeStatus DecodeNvmeSanitizeLog(std::span<const std::uint8_t, kNvmeSanitizeLogBytes> page) {
  NvmeSanitizeStatus status;
  const std::uint16_t sstat = Word(page, L::kSanitizeStatus);
  switch (sstat & 0x07U) {
    case 0:
      status.State = NvmeSanitizeState::NeverSanitized;
      break;
    case 1:
      status.State = NvmeSanitizeState::Succeeded;
      break;
    case 2:
      status.State = NvmeSanitizeState::InProgress;
      break;
    case 3:
      status.State = NvmeSanitizeState::Failed;
      break;
    case 4:
      status.State = NvmeSanitizeState::SucceededNoDeallocate;
      break;
    default:
      break;
  }
  if (status.State == NvmeSanitizeState::InProgress) {
    status.Progress = Word(page, L::kSanitizeProgress);
  }
  status.LastCdw10 = Dword(page, L::kSanitizeCdw10);
  status.OverwriteSeconds = Estimate(Dword(page, L::kSanitizeTimeOverwrite));
  status.BlockEraseSeconds = Estimate(Dword(page, L::kSanitizeTimeBlockErase));
  status.CryptoEraseSeconds = Estimate(Dword(page, L::kSanitizeTimeCryptoErase));
  return status;
}

std::string NvmeSanitizeStateName(NvmeSanitizeState state) {
  switch (state) {
    case NvmeSanitizeState::NeverSanitized:
      return "never sanitized";
    case NvmeSanitizeState::Succeeded:
    case NvmeSanitizeState::SucceededNoDeallocate:
      return "completed";
    case NvmeSanitizeState::InProgress:
      return "in progress";
    case NvmeSanitizeState::Failed:
      return "failed";
    case NvmeSanitizeState::Unknown:
      break;
  }
  return "unknown";
}

}  // namespace vellumar

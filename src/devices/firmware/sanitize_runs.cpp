#include <string>

#include "devices/firmware/ata_firmware_commands.h"
#include "devices/firmware/firmware_erase.h"
#include "devices/firmware/firmware_progress.h"
#include "devices/nvme/nvme_erase.h"

namespace vellumar {

namespace {

FirmwareRunResult Failed(FirmwareRunResult result, FirmwareRunContext& context, const std::string& why) {
  result.Succeeded = false;
  result.Why = why;
  context.Logs.BenchMarkLog("Error: " + why);
  return result;
}

AtaSanitizeAction AtaActionOf(FirmwareMethod method) {
  switch (method) {
    case FirmwareMethod::AtaSanitizeCrypto:
      return AtaSanitizeAction::CryptoScramble;
    case FirmwareMethod::AtaSanitizeBlock:
      return AtaSanitizeAction::BlockErase;
    default:
      return AtaSanitizeAction::Overwrite;
  }
}

NvmeSanitizeAction NvmeActionOf(FirmwareMethod method) {
  switch (method) {
    case FirmwareMethod::NvmeSanitizeCrypto:
      return NvmeSanitizeAction::CryptoErase;
    case FirmwareMethod::NvmeSanitizeBlock:
      return NvmeSanitizeAction::BlockErase;
    default:
      return NvmeSanitizeAction::Overwrite;
  }
}

std::string NvmeStatusText(const NvmeAdminResult& result) {
  switch (result.Outcome) {
    case NvmeAdminOutcome::Completed:
      return "completed";
    case NvmeAdminOutcome::Aborted: {
      std::string hex = "0000";
      static constexpr char kDigits[] = "0123456789abcdef";
      for (int i = 0; i < 4; ++i) {
        hex[static_cast<std::size_t>(3 - i)] = kDigits[(result.Status >> (4U * static_cast<unsigned>(i))) & 0xFU];
      }
      return "aborted by the controller (status 0x" + hex + ")";
    }
    case NvmeAdminOutcome::ShortTransfer:
      return "answered short";
    case NvmeAdminOutcome::Refused:
      break;
  }
  return "not delivered";
}

std::optional<NvmeSanitizeStatus> ReadSanitizeLog(NvmeAdminChannel& nvme) {
  std::array<std::uint8_t, kNvmeSanitizeLogBytes> page{};
  if (nvme.Execute(SanitizeLogCommand(), page).Outcome != NvmeAdminOutcome::Completed) {
    return std::nullopt;
  }
  return DecodeNvmeSanitizeLog(page);
}

FirmwareRunResult RunNvmeSanitize(FirmwareMethod method, FirmwareRunContext& context) {
  FirmwareRunResult result;
  NvmeAdminChannel& nvme = *context.Nvme;
  const NvmeSanitizeAction action = NvmeActionOf(method);
  FirmwareProgress progress(context, std::nullopt);
  result.Sent = true;
  const NvmeAdminResult sent = nvme.Execute(SanitizeCommand(action, 120), {});
  result.Status = NvmeStatusText(sent);
  if (sent.Outcome != NvmeAdminOutcome::Completed) {
    return Failed(result, context, "the Sanitize command was " + result.Status);
  }
  context.Logs.BenchMarkLog("Sanitize started; it cannot be stopped and goes on after a power cycle.");
  int unanswered = 0;
  for (;;) {
    context.Pause(kSanitizePollSeconds);
    const std::optional<NvmeSanitizeStatus> log = ReadSanitizeLog(nvme);
    result.Seconds = progress.ElapsedSeconds();
    if (!log) {
      if (++unanswered >= kSanitizeLostPolls) {
        return Failed(result, context, "the controller stopped answering the sanitize status log");
      }
      continue;
    }
    unanswered = 0;
    if (log->State == NvmeSanitizeState::InProgress) {
      progress.Fraction(log->Progress);
      continue;
    }
    result.Status = "sanitize " + NvmeSanitizeStateName(log->State);
    const bool ours = (log->LastCdw10 & 0x07U) == static_cast<std::uint32_t>(action);
    if ((log->State == NvmeSanitizeState::Succeeded || log->State == NvmeSanitizeState::SucceededNoDeallocate) &&
        ours) {
      progress.Finished();
      result.Succeeded = true;
      return result;
    }
    return Failed(result, context, "the sanitize status log reports the sanitize " + NvmeSanitizeStateName(log->State));
  }
}

FirmwareRunResult RunNvmeFormat(FirmwareMethod method, const FirmwareFacts& facts, FirmwareRunContext& context) {
  FirmwareRunResult result;
  NvmeAdminChannel& nvme = *context.Nvme;
  const NvmeSecureErase erase =
      method == FirmwareMethod::NvmeFormatCrypto ? NvmeSecureErase::Crypto : NvmeSecureErase::UserData;
  FirmwareProgress progress(context, std::nullopt);
  progress.TickWhileBlocked();
  result.Sent = true;
  // No estimate exists for a format; twelve hours covers the slowest drives.
  const NvmeAdminResult sent =
      nvme.Execute(FormatNvmCommand(facts.NamespaceId, facts.LbaFormat, erase, 12U * 3600U), {});
  progress.Stop();
  result.Seconds = progress.ElapsedSeconds();
  result.Status = NvmeStatusText(sent);
  if (sent.Outcome != NvmeAdminOutcome::Completed) {
    return Failed(result, context, "Format NVM was " + result.Status);
  }
  // The namespace must answer again, with the format it had: the read-back check then reads it.
  NvmePages pages;
  std::string reason;
  if (!ReadNvmePages(nvme, NvmePageSet::Identity, pages, reason)) {
    return Failed(result, context, "the namespace did not answer after Format NVM: " + reason);
  }
  progress.Finished();
  result.Succeeded = true;
  return result;
}

}  // namespace

FirmwareRunResult RunAtaSanitize(FirmwareMethod method, FirmwareRunContext& context) {
  FirmwareRunResult result;
  AtaCommandChannel& ata = *context.Ata;
  const AtaSanitizeStatus before = DecodeAtaSanitizeStatus(ata.Run(AtaSanitizeCommand(AtaSanitizeAction::Status), {}));
  if (before.InProgress || before.Frozen) {
    return Failed(result, context, before.Frozen ? kFrozenLine : "a sanitize is already running on the drive");
  }
  FirmwareProgress progress(context, std::nullopt);
  result.Sent = true;
  const AtaReply sent = ata.Run(AtaSanitizeCommand(AtaActionOf(method)), {});
  result.Status = AtaReplyText(sent);
  if (sent.Kind != AtaReplyKind::Completed) {
    // An aborted start may still have started it: the status tells, so it is read below either way.
    context.Logs.BenchMarkLog("The sanitize command was " + result.Status + ".");
  } else {
    context.Logs.BenchMarkLog("Sanitize started; it cannot be stopped and goes on after a power cycle.");
  }
  int unanswered = 0;
  for (;;) {
    context.Pause(kSanitizePollSeconds);
    const AtaSanitizeStatus status =
        DecodeAtaSanitizeStatus(ata.Run(AtaSanitizeCommand(AtaSanitizeAction::Status), {}));
    result.Seconds = progress.ElapsedSeconds();
    if (!status.Answered) {
      if (++unanswered >= kSanitizeLostPolls) {
        return Failed(result, context, "the drive stopped answering SANITIZE STATUS EXT");
      }
      continue;
    }
    unanswered = 0;
    if (status.InProgress) {
      progress.Fraction(status.Progress);
      continue;
    }
    if (status.CompletedWithoutError && sent.Kind == AtaReplyKind::Completed) {
      result.Status = "sanitize completed without error";
      progress.Finished();
      result.Succeeded = true;
      return result;
    }
    if (status.Failed) {
      result.Status = "sanitize failed (reason " + std::to_string(status.FailureReason) + ")";
      return Failed(result, context, "SANITIZE STATUS EXT reports the sanitize failed");
    }
    return Failed(result, context, "the sanitize command was " + AtaReplyText(sent) + " and did not complete");
  }
}

FirmwareRunResult RunNvmeErase(FirmwareMethod method, const FirmwareFacts& facts, FirmwareRunContext& context) {
  if (method == FirmwareMethod::NvmeFormat || method == FirmwareMethod::NvmeFormatCrypto) {
    return RunNvmeFormat(method, facts, context);
  }
  return RunNvmeSanitize(method, context);
}

FirmwareRunResult RunFirmwareErase(FirmwareMethod method, const FirmwareFacts& facts, FirmwareRunContext& context) {
  const bool ata = IsAtaMethod(method);
  if ((ata && context.Ata == nullptr) || (!ata && context.Nvme == nullptr)) {
    FirmwareRunResult result;
    return Failed(result, context, "the drive cannot be reached with " + FirmwareMethodCommand(method));
  }
  context.Logs.BenchMarkLog("Method: " + FirmwareMethodName(method) + " (" + FirmwareMethodCommand(method) + ")");
  if (method == FirmwareMethod::AtaSecureErase || method == FirmwareMethod::AtaEnhancedSecureErase) {
    return RunAtaSecurityErase(method == FirmwareMethod::AtaEnhancedSecureErase, facts, context);
  }
  return ata ? RunAtaSanitize(method, context) : RunNvmeErase(method, facts, context);
}

}  // namespace vellumar

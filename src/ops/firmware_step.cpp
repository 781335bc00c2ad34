#include "ops/firmware_step.h"

namespace vellumar::ops {

const char* const kCryptoVerifyLine =
    "A read-back check cannot prove a crypto erase: the drive replaces its encryption key, and the old data then "
    "reads back as random bytes, not zeros. Run it with --verify none.";

namespace {

struct MethodPair {
  EraseMethod Erase;
  FirmwareMethod Firmware;
};

constexpr MethodPair kPairs[] = {
    {EraseMethod::AtaSecureErase, FirmwareMethod::AtaSecureErase},
    {EraseMethod::AtaEnhancedSecureErase, FirmwareMethod::AtaEnhancedSecureErase},
    {EraseMethod::AtaSanitizeCrypto, FirmwareMethod::AtaSanitizeCrypto},
    {EraseMethod::AtaSanitizeBlock, FirmwareMethod::AtaSanitizeBlock},
    {EraseMethod::AtaSanitizeOverwrite, FirmwareMethod::AtaSanitizeOverwrite},
    {EraseMethod::NvmeFormat, FirmwareMethod::NvmeFormat},
    {EraseMethod::NvmeFormatCrypto, FirmwareMethod::NvmeFormatCrypto},
    {EraseMethod::NvmeSanitizeCrypto, FirmwareMethod::NvmeSanitizeCrypto},
    {EraseMethod::NvmeSanitizeBlock, FirmwareMethod::NvmeSanitizeBlock},
    {EraseMethod::NvmeSanitizeOverwrite, FirmwareMethod::NvmeSanitizeOverwrite},
};

}  // namespace

std::optional<FirmwareMethod> FirmwareMethodOf(EraseMethod method) {
  for (const MethodPair& pair : kPairs) {
    if (pair.Erase == method) {
      return pair.Firmware;
    }
  }
  return std::nullopt;
}

EraseMethod EraseMethodFor(FirmwareMethod method) {
  for (const MethodPair& pair : kPairs) {
    if (pair.Firmware == method) {
      return pair.Erase;
    }
  }
  return EraseMethod::ZeroFill;
}

bool AcceptFirmwareRequest(const ErasureRequest& request, ErasureParts& parts, LogSinks& logs, ErasureResult& result) {
  const std::optional<FirmwareMethod> method = FirmwareMethodOf(request.Method);
  if (!method) {
    return true;
  }
  const std::string name = FirmwareMethodName(*method);
  if (IsCryptoMethod(*method) && request.Verify != VerifyMethod::None) {
    result.OptionRefused = true;
    result.Run.Refusal = kCryptoVerifyLine;
    logs.BenchMarkLog(result.Run.Refusal);
    return false;
  }
  MethodOffer offer;
  offer.Method = *method;
  offer.Line = "The drive has no firmware erase.";
  if (parts.Firmware) {
    offer = OfferFirmwareMethod(parts.Firmware->ReadFacts(), *method, request.AllowBridge);
  }
  if (offer.State == MethodState::Supported) {
    return true;
  }
  result.MethodRefused = true;
  result.Run.Refusal = "Method " + name + ": " + MethodStateText(offer) + ". " + offer.Line;
  logs.BenchMarkLog(result.Run.Refusal);
  return false;
}

std::string FirmwareConfirmationLines(FirmwareMethod method) {
  std::string lines = "\r\n\r\nMethod: " + FirmwareMethodName(method) + " (" + FirmwareMethodCommand(method) + ")";
  if (IsSanitizeMethod(method)) {
    lines +=
        "\r\nA sanitize cannot be stopped once it has started, and it goes on after a power cycle until it is done.";
  } else {
    lines += "\r\nThe drive's own command cannot be stopped once it has been sent.";
  }
  return lines;
}

void UseFirmwareErase(FirmwareMethod method, RunRequest& run, ErasureParts& parts, ErasureResult& result) {
  run.Title = "Firmware erase: ";
  run.StartLine = "Erasing with the drive's own command... ";
  run.Stoppable = false;
  // The drive's command covers its whole native capacity, so the hidden-area warnings of a zero
  // fill do not apply.
  run.HeaderWarnings = {"The drive's own command covers its whole native capacity, hidden areas included."};
  const std::int64_t total = DriveTotalBytes(run.Drive);
  run.Erase = [method, total, &parts, &result](BlockDevice& device, FormatContext& context) {
    FirmwareAccess& access = *parts.Firmware;
    const FirmwareFacts facts = access.ReadFactsOn(device);
    FirmwareRunContext firmware{access.AtaOn(device),
                                access.NvmeOn(device),
                                context.Logs,
                                context.WallClock,
                                context.Display,
                                context.Observer,
                                [&access](std::uint32_t seconds) { access.Pause(seconds); },
                                [&access] { return access.NewPassword(); }};
    result.Firmware = RunFirmwareErase(method, facts, firmware);
    FormatResult erased;
    if (result.Firmware->Succeeded) {
      erased.Outcome = FormatOutcome::Completed;
      erased.Position = total;
      context.Logs.BenchMarkLog("Firmware erase completed: " + result.Firmware->Status);
    } else {
      erased.Outcome = FormatOutcome::Terminated;
      erased.Why = result.Firmware->Why;
      context.Logs.BenchMarkLog("Firmware erase failed: " + result.Firmware->Why);
    }
    return erased;
  };
}

}  // namespace vellumar::ops

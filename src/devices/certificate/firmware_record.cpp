#include "devices/certificate/firmware_record.h"

namespace vellumar {

namespace {

const char* TechniqueOf(FirmwareMethod method) {
  switch (method) {
    case FirmwareMethod::AtaSecureErase:
      return "secure erase";
    case FirmwareMethod::AtaEnhancedSecureErase:
      return "enhanced secure erase";
    case FirmwareMethod::AtaSanitizeCrypto:
    case FirmwareMethod::NvmeFormatCrypto:
    case FirmwareMethod::NvmeSanitizeCrypto:
      return "cryptographic erase";
    case FirmwareMethod::AtaSanitizeBlock:
    case FirmwareMethod::NvmeSanitizeBlock:
      return "block erase";
    case FirmwareMethod::AtaSanitizeOverwrite:
    case FirmwareMethod::NvmeSanitizeOverwrite:
      return "overwrite";
    case FirmwareMethod::NvmeFormat:
      break;
  }
  return "user data erase";
}

const char* PatternOf(FirmwareMethod method) {
  if (IsCryptoMethod(method)) {
    return "the media encryption key replaced";
  }
  if (method == FirmwareMethod::AtaSanitizeOverwrite || method == FirmwareMethod::NvmeSanitizeOverwrite) {
    return "zeros";
  }
  return "chosen by the drive";
}

}  // namespace

CertificateErase FirmwareEraseRecord(FirmwareMethod method, const FirmwareRunResult& run, std::int64_t total) {
  CertificateErase erase;
  erase.Method = FirmwareMethodName(method);
  // Only a confirmed erase is a purge; a failed one sanitized nothing that can be relied on.
  erase.Level = run.Succeeded ? "purge" : "none";
  erase.Technique = TechniqueOf(method);
  erase.Passes = 1;
  erase.Pattern = PatternOf(method);
  erase.Outcome = run.Succeeded ? "completed" : "terminated";
  if (run.Succeeded) {
    erase.RangesWritten.push_back({0, total});
    erase.BytesWritten = total;
    erase.FinalOffset = total;
  }
  if (!run.Why.empty()) {
    erase.ErrorLines.push_back(run.Why);
  }
  CertificateFirmware firmware;
  firmware.Method = erase.Method;
  firmware.Command = FirmwareMethodCommand(method);
  firmware.Status = run.Status;
  firmware.Seconds = run.Seconds;
  firmware.DriveEstimateMinutes = run.EstimateMinutes;
  firmware.PasswordLeftSet = run.PasswordLeftSet;
  erase.Firmware = firmware;
  return erase;
}

}  // namespace vellumar

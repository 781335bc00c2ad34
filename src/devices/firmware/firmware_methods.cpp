#include "devices/firmware/firmware_methods.h"

#include <array>

namespace vellumar {

namespace {

struct MethodRow {
  FirmwareMethod Method;
  const char* Name;
  const char* Command;
};

constexpr std::array<MethodRow, 10> kRows{{
    {FirmwareMethod::AtaSecureErase, "ata-secure-erase", "ATA SECURITY ERASE UNIT (normal)"},
    {FirmwareMethod::AtaEnhancedSecureErase, "ata-enhanced-secure-erase", "ATA SECURITY ERASE UNIT (enhanced)"},
    {FirmwareMethod::AtaSanitizeCrypto, "ata-sanitize-crypto", "ATA SANITIZE CRYPTO SCRAMBLE EXT"},
    {FirmwareMethod::AtaSanitizeBlock, "ata-sanitize-block", "ATA SANITIZE BLOCK ERASE EXT"},
    {FirmwareMethod::AtaSanitizeOverwrite, "ata-sanitize-overwrite", "ATA SANITIZE OVERWRITE EXT (one pass of zeros)"},
    {FirmwareMethod::NvmeFormat, "nvme-format", "NVMe Format NVM (user data erase)"},
    {FirmwareMethod::NvmeFormatCrypto, "nvme-format-crypto", "NVMe Format NVM (cryptographic erase)"},
    {FirmwareMethod::NvmeSanitizeCrypto, "nvme-sanitize-crypto", "NVMe Sanitize (crypto erase)"},
    {FirmwareMethod::NvmeSanitizeBlock, "nvme-sanitize-block", "NVMe Sanitize (block erase)"},
    {FirmwareMethod::NvmeSanitizeOverwrite, "nvme-sanitize-overwrite", "NVMe Sanitize (one overwrite pass of zeros)"},
}};

const MethodRow& RowOf(FirmwareMethod method) {
  for (const MethodRow& row : kRows) {
    if (row.Method == method) {
      return row;
    }
  }
  return kRows[0];
}

MethodOffer Refuse(MethodOffer offer, const char* why, std::string line) {
  offer.State = MethodState::Refused;
  offer.Why = why;
  offer.Line = std::move(line);
  return offer;
}

MethodOffer NotSupported(MethodOffer offer, std::string line) {
  offer.State = MethodState::NotSupported;
  offer.Line = std::move(line);
  return offer;
}

bool AtaSupports(const AtaEraseFeatures& ata, FirmwareMethod method) {
  switch (method) {
    case FirmwareMethod::AtaSecureErase:
      return ata.SecuritySupported;
    case FirmwareMethod::AtaEnhancedSecureErase:
      return ata.SecuritySupported && ata.EnhancedSupported;
    case FirmwareMethod::AtaSanitizeCrypto:
      return ata.SanitizeSupported && ata.SanitizeCrypto;
    case FirmwareMethod::AtaSanitizeBlock:
      return ata.SanitizeSupported && ata.SanitizeBlock;
    case FirmwareMethod::AtaSanitizeOverwrite:
      return ata.SanitizeSupported && ata.SanitizeOverwrite;
    default:
      return false;
  }
}

bool NvmeSupports(const NvmeController& nvme, FirmwareMethod method) {
  switch (method) {
    case FirmwareMethod::NvmeFormat:
      return nvme.FormatNvm;
    case FirmwareMethod::NvmeFormatCrypto:
      return nvme.FormatNvm && nvme.FormatCryptoErase;
    case FirmwareMethod::NvmeSanitizeCrypto:
      return nvme.SanitizeCryptoErase;
    case FirmwareMethod::NvmeSanitizeBlock:
      return nvme.SanitizeBlockErase;
    case FirmwareMethod::NvmeSanitizeOverwrite:
      return nvme.SanitizeOverwrite;
    default:
      return false;
  }
}

// Whether the command reaches beyond the namespace that was chosen.
bool ReachesAllNamespaces(const NvmeController& nvme, FirmwareMethod method) {
  if (method == FirmwareMethod::NvmeFormat || method == FirmwareMethod::NvmeFormatCrypto) {
    return nvme.FormatAllNamespaces || nvme.EraseAllNamespaces;
  }
  return true;  // a sanitize erases the whole subsystem
}

std::string BridgeLine(const std::string& bridge) {
  return "The drive is behind a " + bridge +
         " bridge. Bridges often pass only half of a firmware command and can leave the drive locked; give "
         "--allow-bridge to try it anyway.";
}

MethodOffer OfferAta(const FirmwareFacts& facts, MethodOffer offer, bool allowBridge) {
  if (facts.Path != FirmwarePath::Ata && facts.Path != FirmwarePath::AtaBridge) {
    return NotSupported(offer, "The drive is not reached through ATA commands.");
  }
  // Behind a bridge the refusal comes first: a bridge that passes no ATA command at all would
  // otherwise look like a drive without the feature.
  if (facts.Path == FirmwarePath::AtaBridge && !allowBridge) {
    return Refuse(offer, "bridge", BridgeLine(facts.Bridge));
  }
  if (!facts.Ata) {
    return NotSupported(offer, "The drive did not answer IDENTIFY DEVICE.");
  }
  const AtaEraseFeatures& ata = *facts.Ata;
  if (!AtaSupports(ata, offer.Method)) {
    return NotSupported(offer, "The drive does not report " + FirmwareMethodCommand(offer.Method) + ".");
  }
  const bool security =
      offer.Method == FirmwareMethod::AtaSecureErase || offer.Method == FirmwareMethod::AtaEnhancedSecureErase;
  if (security) {
    const EraseTimeEstimate& estimate =
        offer.Method == FirmwareMethod::AtaSecureErase ? ata.NormalErase : ata.EnhancedErase;
    if (estimate.Reported) {
      offer.EstimateMinutes = estimate.Minutes;
      offer.EstimateAtLeast = estimate.AtLeast;
    }
  }
  if (facts.SanitizeInProgress()) {
    return Refuse(offer, "sanitize in progress",
                  "A sanitize is already running on the drive; it can only be followed.");
  }
  if (security) {
    if (ata.Frozen) {
      return Refuse(offer, "frozen", kFrozenLine);
    }
    if (ata.Locked) {
      return Refuse(offer, "locked", "The drive is locked with a security password; unlock it first.");
    }
    if (ata.SecurityEnabled) {
      return Refuse(offer, "password set",
                    "The drive already has a security password set; disable it first, with that password.");
    }
    if (ata.CountExpired) {
      return Refuse(offer, "password attempts expired",
                    "The drive counted too many wrong passwords; power it off and on again first.");
    }
  } else if (facts.AtaSanitize && facts.AtaSanitize->Frozen) {
    return Refuse(offer, "frozen", kFrozenLine);
  }
  offer.State = MethodState::Supported;
  return offer;
}

std::optional<std::uint32_t> NvmeSanitizeEstimate(const NvmeSanitizeStatus& log, FirmwareMethod method) {
  const std::optional<std::uint32_t>& seconds = method == FirmwareMethod::NvmeSanitizeCrypto  ? log.CryptoEraseSeconds
                                                : method == FirmwareMethod::NvmeSanitizeBlock ? log.BlockEraseSeconds
                                                                                              : log.OverwriteSeconds;
  if (!seconds) {
    return std::nullopt;
  }
  return (*seconds + 59U) / 60U;
}

MethodOffer OfferNvme(const FirmwareFacts& facts, MethodOffer offer) {
  if (facts.Path != FirmwarePath::Nvme || !facts.Nvme) {
    return NotSupported(offer, facts.Path == FirmwarePath::AtaBridge
                                   ? "NVMe commands cannot pass a bridge; connect the drive to an NVMe slot."
                                   : "The drive is not an NVMe namespace.");
  }
  if (!NvmeSupports(*facts.Nvme, offer.Method)) {
    return NotSupported(offer, "The controller does not report " + FirmwareMethodCommand(offer.Method) + ".");
  }
  const bool sanitize = IsSanitizeMethod(offer.Method);
  if (sanitize && facts.NvmeSanitize) {
    offer.EstimateMinutes = NvmeSanitizeEstimate(*facts.NvmeSanitize, offer.Method);
  }
  if (facts.SanitizeInProgress()) {
    return Refuse(offer, "sanitize in progress",
                  "A sanitize is already running on the drive; it can only be followed.");
  }
  if (!facts.OtherNamespaces.empty() && ReachesAllNamespaces(*facts.Nvme, offer.Method)) {
    std::string names;
    for (const std::string& name : facts.OtherNamespaces) {
      names += (names.empty() ? "" : ", ") + name;
    }
    return Refuse(offer, "other namespaces",
                  "This command erases every namespace of the controller, and it has others: " + names + ".");
  }
  offer.State = MethodState::Supported;
  return offer;
}

}  // namespace

const char* const kFrozenLine =
    "The drive is frozen: its firmware accepts no erase command until it is woken from a power cycle. "
    "Suspend the computer and resume it, or unplug and plug in the drive's power or cable where the hardware "
    "allows it, then try again.";

std::string FirmwareMethodName(FirmwareMethod method) { return RowOf(method).Name; }

std::optional<FirmwareMethod> FirmwareMethodFromName(std::string_view name) {
  for (const MethodRow& row : kRows) {
    if (name == row.Name) {
      return row.Method;
    }
  }
  return std::nullopt;
}

std::string FirmwareMethodCommand(FirmwareMethod method) { return RowOf(method).Command; }

bool IsCryptoMethod(FirmwareMethod method) {
  return method == FirmwareMethod::AtaSanitizeCrypto || method == FirmwareMethod::NvmeFormatCrypto ||
         method == FirmwareMethod::NvmeSanitizeCrypto;
}

bool IsSanitizeMethod(FirmwareMethod method) {
  return method == FirmwareMethod::AtaSanitizeCrypto || method == FirmwareMethod::AtaSanitizeBlock ||
         method == FirmwareMethod::AtaSanitizeOverwrite || method == FirmwareMethod::NvmeSanitizeCrypto ||
         method == FirmwareMethod::NvmeSanitizeBlock || method == FirmwareMethod::NvmeSanitizeOverwrite;
}

bool IsAtaMethod(FirmwareMethod method) {
  return method == FirmwareMethod::AtaSecureErase || method == FirmwareMethod::AtaEnhancedSecureErase ||
         method == FirmwareMethod::AtaSanitizeCrypto || method == FirmwareMethod::AtaSanitizeBlock ||
         method == FirmwareMethod::AtaSanitizeOverwrite;
}

bool FirmwareFacts::SanitizeInProgress() const {
  return (AtaSanitize && AtaSanitize->InProgress) ||
         (NvmeSanitize && NvmeSanitize->State == NvmeSanitizeState::InProgress);
}

std::uint16_t FirmwareFacts::SanitizeProgress() const {
  if (AtaSanitize && AtaSanitize->InProgress) {
    return AtaSanitize->Progress;
  }
  return NvmeSanitize ? NvmeSanitize->Progress : 0;
}

MethodOffer OfferFirmwareMethod(const FirmwareFacts& facts, FirmwareMethod method, bool allowBridge) {
  MethodOffer offer;
  offer.Method = method;
  return IsAtaMethod(method) ? OfferAta(facts, offer, allowBridge) : OfferNvme(facts, offer);
}

std::vector<MethodOffer> OfferFirmwareMethods(const FirmwareFacts& facts, bool allowBridge) {
  std::vector<MethodOffer> offers;
  for (const FirmwareMethod method : kFirmwareMethods) {
    offers.push_back(OfferFirmwareMethod(facts, method, allowBridge));
  }
  return offers;
}

std::string MethodStateText(const MethodOffer& offer) {
  switch (offer.State) {
    case MethodState::Supported:
      return "supported";
    case MethodState::Refused:
      return "refused (" + offer.Why + ")";
    case MethodState::NotSupported:
      break;
  }
  return "not supported";
}

}  // namespace vellumar

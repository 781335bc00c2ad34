#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "devices/ata/ata_sanitize.h"
#include "devices/ata/ata_security.h"
#include "devices/nvme/nvme_decoder.h"
#include "devices/nvme/nvme_erase.h"

namespace vellumar {

// The erase commands of the drive's own firmware.
enum class FirmwareMethod {
  AtaSecureErase,
  AtaEnhancedSecureErase,
  AtaSanitizeCrypto,
  AtaSanitizeBlock,
  AtaSanitizeOverwrite,
  NvmeFormat,
  NvmeFormatCrypto,
  NvmeSanitizeCrypto,
  NvmeSanitizeBlock,
  NvmeSanitizeOverwrite
};

inline constexpr FirmwareMethod kFirmwareMethods[] = {
    FirmwareMethod::AtaSecureErase,       FirmwareMethod::AtaEnhancedSecureErase, FirmwareMethod::AtaSanitizeCrypto,
    FirmwareMethod::AtaSanitizeBlock,     FirmwareMethod::AtaSanitizeOverwrite,   FirmwareMethod::NvmeFormat,
    FirmwareMethod::NvmeFormatCrypto,     FirmwareMethod::NvmeSanitizeCrypto,     FirmwareMethod::NvmeSanitizeBlock,
    FirmwareMethod::NvmeSanitizeOverwrite};

// "ata-secure-erase", "nvme-sanitize-crypto", ...
std::string FirmwareMethodName(FirmwareMethod method);
std::optional<FirmwareMethod> FirmwareMethodFromName(std::string_view name);
// The commands it sends, for the log and the certificate ("ATA SECURITY ERASE UNIT (enhanced)").
std::string FirmwareMethodCommand(FirmwareMethod method);
// Crypto methods leave random-looking data: a read-back check cannot prove them.
bool IsCryptoMethod(FirmwareMethod method);
// Sanitize runs to its end once started, even across a power cycle: it cannot be stopped.
bool IsSanitizeMethod(FirmwareMethod method);
bool IsAtaMethod(FirmwareMethod method);

// How the program reaches the drive's firmware.
enum class FirmwarePath {
  None,       // no firmware erase: an image, a virtual disk, a card reader
  Ata,        // ATA commands through the SCSI/ATA translation of libata
  AtaBridge,  // ATA commands through a USB or other bridge, which may pass only half of them
  Nvme        // NVMe admin commands on the namespace
};

// What the drive says about its firmware erase, read before anything is sent.
struct FirmwareFacts {
  FirmwarePath Path = FirmwarePath::None;
  std::string Bridge;  // the bus of a bridge ("USB")
  std::optional<AtaEraseFeatures> Ata;
  std::optional<AtaSanitizeStatus> AtaSanitize;
  std::optional<NvmeController> Nvme;
  std::uint32_t NamespaceId = 0;
  std::uint32_t LbaFormat = 0;  // the namespace's current format, which a Format keeps
  std::optional<NvmeSanitizeStatus> NvmeSanitize;
  // Other namespaces of the same controller: an erase that reaches all of them is refused.
  std::vector<std::string> OtherNamespaces;

  // A sanitize the drive is running now, started by anyone, with its fraction done of 65,536.
  bool SanitizeInProgress() const;
  std::uint16_t SanitizeProgress() const;
};

enum class MethodState { Supported, NotSupported, Refused };

struct MethodOffer {
  FirmwareMethod Method = FirmwareMethod::AtaSecureErase;
  MethodState State = MethodState::NotSupported;
  std::string Why;   // the refusal's reason ("frozen", "bridge", "sanitize in progress", ...)
  std::string Line;  // a sentence for people, with what to do about it
  std::optional<std::uint32_t> EstimateMinutes;
  bool EstimateAtLeast = false;
};

// Each method with whether it may run on this drive now. `allowBridge` lets ATA methods
// through a bridge; NVMe behind a bridge never has the NVMe path at all.
std::vector<MethodOffer> OfferFirmwareMethods(const FirmwareFacts& facts, bool allowBridge);
MethodOffer OfferFirmwareMethod(const FirmwareFacts& facts, FirmwareMethod method, bool allowBridge);

// "supported", "not supported", "refused (frozen)".
std::string MethodStateText(const MethodOffer& offer);

// The line that tells how to unfreeze a frozen drive.
extern const char* const kFrozenLine;

}  // namespace vellumar

#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "devices/nvme/nvme_admin.h"
#include "devices/nvme/nvme_layout.h"

namespace vellumar {

inline constexpr std::uint8_t kNvmeAdminFormatNvm = 0x80;
inline constexpr std::uint8_t kNvmeAdminSanitize = 0x84;
inline constexpr std::uint32_t kNvmeLogSanitize = 0x81;

// Secure Erase Settings of Format NVM.
enum class NvmeSecureErase : std::uint32_t { None = 0, UserData = 1, Crypto = 2 };
// Sanitize actions (SANACT).
enum class NvmeSanitizeAction : std::uint32_t { ExitFailureMode = 1, BlockErase = 2, Overwrite = 3, CryptoErase = 4 };

// Format NVM of one namespace, keeping its LBA format (`lbaFormat`, 0..63), with no protection
// information and the metadata as it was set.
NvmeAdminCommand FormatNvmCommand(std::uint32_t namespaceId, std::uint32_t lbaFormat, NvmeSecureErase erase,
                                  std::uint32_t timeoutSeconds);
// Sanitize of the whole subsystem. Overwrite runs one pass of zeros.
NvmeAdminCommand SanitizeCommand(NvmeSanitizeAction action, std::uint32_t timeoutSeconds);
NvmeAdminCommand SanitizeLogCommand();

enum class NvmeSanitizeState {
  NeverSanitized,
  Succeeded,
  InProgress,
  Failed,
  SucceededNoDeallocate,
  Unknown  // a value this program does not know
};

struct NvmeSanitizeStatus {
  NvmeSanitizeState State = NvmeSanitizeState::Unknown;
  // Fraction done while in progress, of 65,536.
  std::uint16_t Progress = 0;
  std::uint32_t LastCdw10 = 0;
  // The controller's estimates in seconds; nullopt when it reports none.
  std::optional<std::uint32_t> OverwriteSeconds;
  std::optional<std::uint32_t> BlockEraseSeconds;
  std::optional<std::uint32_t> CryptoEraseSeconds;

  bool operator==(const NvmeSanitizeStatus&) const = default;
};

NvmeSanitizeStatus DecodeNvmeSanitizeLog(std::span<const std::uint8_t, kNvmeSanitizeLogBytes> page);

// "in progress", "completed", ...
std::string NvmeSanitizeStateName(NvmeSanitizeState state);

}  // namespace vellumar

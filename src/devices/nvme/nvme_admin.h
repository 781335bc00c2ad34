#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "devices/nvme/nvme_layout.h"

namespace vellumar {

inline constexpr std::uint8_t kNvmeAdminGetLogPage = 0x02;
inline constexpr std::uint8_t kNvmeAdminIdentify = 0x06;
inline constexpr std::uint8_t kNvmeAdminGetFeatures = 0x0A;
inline constexpr std::uint32_t kNvmeCnsNamespace = 0x00;
inline constexpr std::uint32_t kNvmeCnsController = 0x01;
inline constexpr std::uint32_t kNvmeLogHealth = 0x02;
inline constexpr std::uint32_t kNvmeFeatureVolatileWriteCache = 0x06;
// The health log of the whole controller, not of one namespace.
inline constexpr std::uint32_t kNvmeGlobalNamespace = 0xFFFFFFFFU;

// One admin command: the fields the commands of this program set.
struct NvmeAdminCommand {
  std::uint8_t Opcode = 0;
  std::uint32_t NamespaceId = 0;
  std::uint32_t Cdw10 = 0;
  std::uint32_t Cdw11 = 0;
  // How long the controller may take; 0 keeps the channel's default (a minute).
  std::uint32_t TimeoutSeconds = 0;

  bool operator==(const NvmeAdminCommand&) const = default;
};

enum class NvmeAdminOutcome {
  Completed,     // the controller completed it with status 0
  Refused,       // the path cannot carry admin commands (a bridge, not an NVMe node)
  Aborted,       // the controller answered with a status other than 0
  ShortTransfer  // fewer bytes came back than the command asks for
};

struct NvmeAdminResult {
  NvmeAdminOutcome Outcome = NvmeAdminOutcome::Refused;
  std::uint16_t Status = 0;  // the controller's status field when Aborted
  std::uint32_t Dword0 = 0;  // completion dword 0 (Get Features returns its value there)
  std::size_t Transferred = 0;
};

// Carries NVMe admin commands to one open namespace. The platform implements it over the
// kernel's admin pass-through; tests play the controller.
class NvmeAdminChannel {
 public:
  virtual ~NvmeAdminChannel() = default;

  // The namespace the open node stands for; empty when the node is not an NVMe namespace.
  virtual std::optional<std::uint32_t> NamespaceId() = 0;

  // A data-in command (`data` may be empty for a command without data). `data` holds what the
  // controller sent only when the outcome is Completed.
  virtual NvmeAdminResult Execute(const NvmeAdminCommand& command, std::span<std::uint8_t> data) = 0;
};

NvmeAdminCommand IdentifyControllerCommand();
NvmeAdminCommand IdentifyNamespaceCommand(std::uint32_t namespaceId);
NvmeAdminCommand HealthLogCommand();
NvmeAdminCommand VolatileWriteCacheCommand();

// The three pages the reports decode, read in one go, with the write cache's state.
struct NvmePages {
  std::uint32_t NamespaceId = 0;
  std::array<std::uint8_t, kNvmeIdentifyBytes> Controller{};
  std::array<std::uint8_t, kNvmeIdentifyBytes> Namespace{};
  std::array<std::uint8_t, kNvmeHealthLogBytes> Health{};
  std::optional<bool> WriteCacheEnabled;  // empty when the controller would not say
};

enum class NvmePageSet { Identity, Health };

// Reads the pages one report needs (Identity: both identify pages and the write cache state;
// Health: the health log). False with a reason for people ("the controller aborted ...").
bool ReadNvmePages(NvmeAdminChannel& channel, NvmePageSet set, NvmePages& pages, std::string& reason);

}  // namespace vellumar

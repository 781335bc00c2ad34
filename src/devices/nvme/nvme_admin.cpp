#include "devices/nvme/nvme_admin.h"

#include <array>
#include <cstdio>

#include "devices/nvme/nvme_layout.h"

namespace vellumar {

namespace {

// Get Log Page counts dwords from zero in the upper half of dword 10.
constexpr std::uint32_t kHealthLogDwordsLess1 = kNvmeHealthLogBytes / 4 - 1;

std::string Hex4(std::uint16_t value) {
  std::array<char, 8> buffer{};
  const int length = std::snprintf(buffer.data(), buffer.size(), "%04x", static_cast<unsigned>(value));
  return {buffer.data(), static_cast<std::size_t>(length)};
}

bool Run(NvmeAdminChannel& channel, const NvmeAdminCommand& command, std::span<std::uint8_t> data, const char* what,
         NvmeAdminResult& result, std::string& reason) {
  result = channel.Execute(command, data);
  switch (result.Outcome) {
    case NvmeAdminOutcome::Completed:
      if (result.Transferred >= data.size()) {
        return true;
      }
      [[fallthrough]];
    case NvmeAdminOutcome::ShortTransfer:
      reason = std::string(what) + " came back short (" + std::to_string(result.Transferred) + " of " +
               std::to_string(data.size()) + " bytes)";
      return false;
    case NvmeAdminOutcome::Aborted:
      reason = std::string("the controller refused ") + what + " (status 0x" + Hex4(result.Status) + ")";
      return false;
    case NvmeAdminOutcome::Refused:
      break;
  }
  reason = "the device does not accept NVMe admin commands";
  return false;
}

}  // namespace

NvmeAdminCommand IdentifyControllerCommand() { return {kNvmeAdminIdentify, 0, kNvmeCnsController, 0}; }

NvmeAdminCommand IdentifyNamespaceCommand(std::uint32_t namespaceId) {
  return {kNvmeAdminIdentify, namespaceId, kNvmeCnsNamespace, 0};
}

NvmeAdminCommand HealthLogCommand() {
  return {kNvmeAdminGetLogPage, kNvmeGlobalNamespace, (kHealthLogDwordsLess1 << 16U) | kNvmeLogHealth, 0};
}

NvmeAdminCommand VolatileWriteCacheCommand() {
  // Select 0 in bits 10:8: the current value.
  return {kNvmeAdminGetFeatures, 0, kNvmeFeatureVolatileWriteCache, 0};
}

bool ReadNvmePages(NvmeAdminChannel& channel, NvmePageSet set, NvmePages& pages, std::string& reason) {
  const std::optional<std::uint32_t> namespaceId = channel.NamespaceId();
  if (!namespaceId) {
    reason = "the device is not an NVMe namespace";
    return false;
  }
  pages.NamespaceId = *namespaceId;
  NvmeAdminResult result;
  if (set == NvmePageSet::Health) {
    return Run(channel, HealthLogCommand(), pages.Health, "the health log", result, reason);
  }
  if (!Run(channel, IdentifyControllerCommand(), pages.Controller, "Identify Controller", result, reason) ||
      !Run(channel, IdentifyNamespaceCommand(*namespaceId), pages.Namespace, "Identify Namespace", result, reason)) {
    return false;
  }
  // Only asked when the controller has such a cache; a refusal leaves the state unknown.
  std::string ignored;
  pages.WriteCacheEnabled.reset();
  if ((pages.Controller[nvme_layout::kCtrlVolatileWriteCache] & 0x01U) != 0 &&
      Run(channel, VolatileWriteCacheCommand(), {}, "Get Features", result, ignored)) {
    pages.WriteCacheEnabled = (result.Dword0 & 0x01U) != 0;
  }
  return true;
}

}  // namespace vellumar

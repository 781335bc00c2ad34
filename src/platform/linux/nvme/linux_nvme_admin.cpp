#include "platform/linux/nvme/linux_nvme_admin.h"

#include <linux/nvme_ioctl.h>
#include <sys/ioctl.h>

#include <algorithm>
#include <cstdint>
#include <vector>

namespace vellumar::platform {

namespace {

constexpr std::uint32_t kTimeoutMs = 60000;

}  // namespace

std::optional<std::uint32_t> LinuxNvmeAdminChannel::NamespaceId() {
  // Only the NVMe driver answers this request; SCSI and ATA disks refuse it with ENOTTY.
  const int id = ioctl_(fd_, NVME_IOCTL_ID, nullptr);
  if (id <= 0) {
    return std::nullopt;
  }
  return static_cast<std::uint32_t>(id);
}

vellumar::NvmeAdminResult LinuxNvmeAdminChannel::Execute(const vellumar::NvmeAdminCommand& command,
                                                         std::span<std::uint8_t> data) {
  // A refused command may still have written part of the buffer, so the caller's copy changes
  // only on success.
  std::vector<std::uint8_t> buffer(data.size(), 0);
  nvme_admin_cmd cmd{};
  cmd.opcode = command.Opcode;
  cmd.nsid = command.NamespaceId;
  cmd.cdw10 = command.Cdw10;
  cmd.cdw11 = command.Cdw11;
  cmd.addr = buffer.empty() ? 0 : static_cast<std::uint64_t>(reinterpret_cast<std::uintptr_t>(buffer.data()));
  cmd.data_len = static_cast<std::uint32_t>(buffer.size());
  // The kernel counts milliseconds in 32 bits: about 49 days at most.
  cmd.timeout_ms = command.TimeoutSeconds == 0 ? kTimeoutMs : std::min(command.TimeoutSeconds, 4'000'000U) * 1000U;
  const int rc = ioctl_(fd_, NVME_IOCTL_ADMIN_CMD, &cmd);
  vellumar::NvmeAdminResult result;
  if (rc < 0) {
    result.Outcome = vellumar::NvmeAdminOutcome::Refused;
    return result;
  }
  if (rc > 0) {
    // A positive return is the controller's status field (type and code), not an errno.
    result.Outcome = vellumar::NvmeAdminOutcome::Aborted;
    result.Status = static_cast<std::uint16_t>(rc);
    return result;
  }
  // The kernel transfers the whole length or fails the command; it reports no byte count.
  result.Outcome = vellumar::NvmeAdminOutcome::Completed;
  result.Dword0 = cmd.result;
  result.Transferred = buffer.size();
  std::copy(buffer.begin(), buffer.end(), data.begin());
  return result;
}

}  // namespace vellumar::platform

#pragma once

#include "devices/nvme/nvme_admin.h"
#include "platform/linux/io/ioctl_caller.h"

namespace vellumar::platform {

// NVMe admin commands through the kernel's admin pass-through on an open namespace node (the
// caller keeps the descriptor open and closes it). Other nodes, such as a disk behind a USB
// bridge, refuse the requests and so read as "not an NVMe namespace".
class LinuxNvmeAdminChannel final : public vellumar::NvmeAdminChannel {
 public:
  explicit LinuxNvmeAdminChannel(int fd, IoctlCaller ioctl = SystemIoctl()) : fd_(fd), ioctl_(std::move(ioctl)) {}

  std::optional<std::uint32_t> NamespaceId() override;
  vellumar::NvmeAdminResult Execute(const vellumar::NvmeAdminCommand& command, std::span<std::uint8_t> data) override;

 private:
  int fd_;
  IoctlCaller ioctl_;
};

}  // namespace vellumar::platform

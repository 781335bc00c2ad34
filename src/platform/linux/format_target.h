#pragma once

#include <sys/types.h>

#include <string>

#include "devices/format_controller.h"
#include "platform/linux/linux_block_device.h"

namespace vellumar::platform {

// The disk a run writes to, pinned to what the user confirmed: the exclusive handle is only
// handed out when the node is still the same device (number and size) that was listed.
class LinuxFormatTarget final : public vellumar::FormatTarget {
 public:
  LinuxFormatTarget(std::string path, std::string sysfsRoot, DeviceGeometry expected)
      : path_(std::move(path)), sysfsRoot_(std::move(sysfsRoot)), expected_(expected) {}

  std::unique_ptr<vellumar::BlockDevice> OpenExclusive() override;
  void RereadPartitions(vellumar::BlockDevice* openDevice) override;

  // Why the last OpenExclusive failed: an errno, or 0.
  int LastError() const { return lastError_; }
  // A readable reason for the last failure, empty when it succeeded.
  const std::string& LastFailure() const { return lastFailure_; }

 private:
  std::string path_;
  std::string sysfsRoot_;
  DeviceGeometry expected_;
  int lastError_ = 0;
  std::string lastFailure_;
};

}  // namespace vellumar::platform

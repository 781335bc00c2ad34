#pragma once

#include <sys/types.h>

#include <functional>
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

  // Also pins the drive's serial (the catalogue's text) when given.
  void SetExpectedSerial(std::string serial) { expectedSerial_ = std::move(serial); }
  // The volume claims of the run block the exclusive open of their disk, which takes over their
  // guard: `handOver` releases them right before that open.
  void SetHandOver(std::function<void()> handOver) { handOver_ = std::move(handOver); }

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
  std::string expectedSerial_;
  std::function<void()> handOver_;
  int lastError_ = 0;
  std::string lastFailure_;
};

}  // namespace vellumar::platform

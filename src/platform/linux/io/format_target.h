#pragma once

#include <sys/types.h>

#include <functional>
#include <string>
#include <vector>

#include "devices/erase/format_controller.h"
#include "platform/linux/io/identity_pin.h"
#include "platform/linux/io/linux_block_device.h"
#include "platform/linux/io/unique_fd.h"

namespace vellumar::platform {

// The disk a run writes to, pinned to what the user confirmed: device number, size, disk
// sequence number and serial for a disk; device, inode and size for an image file, which is
// never reached through a symbolic link.
class LinuxFormatTarget final : public vellumar::FormatTarget {
 public:
  LinuxFormatTarget(std::string path, std::string sysfsRoot, std::string procRoot, PinnedIdentity expected,
                    std::string devRoot = "/dev")
      : path_(std::move(path)),
        sysfsRoot_(std::move(sysfsRoot)),
        procRoot_(std::move(procRoot)),
        devRoot_(std::move(devRoot)),
        expected_(std::move(expected)) {}
  ~LinuxFormatTarget() override { ReleaseStackedDevices(); }
  LinuxFormatTarget(const LinuxFormatTarget&) = delete;
  LinuxFormatTarget& operator=(const LinuxFormatTarget&) = delete;

  // The volume claims of the run block the exclusive open of their disk, which takes over their
  // guard: `handOver` releases them right before that open.
  void SetHandOver(std::function<void()> handOver) { handOver_ = std::move(handOver); }

  std::string RunningSystemRefusal() override;
  std::string CheckIdentity() override;
  bool HoldStackedDevices() override;
  void ReleaseStackedDevices() override;
  std::unique_ptr<vellumar::BlockDevice> OpenExclusive() override;
  std::string RereadPartitions(vellumar::BlockDevice* openDevice) override;
  std::string OpenFailure() const override;

  // Why the last OpenExclusive or HoldStackedDevices failed: an errno, or 0.
  int LastError() const { return lastError_; }
  // A readable reason for the last failure, empty when it succeeded.
  const std::string& LastFailure() const { return lastFailure_; }

 private:
  std::string DiskName() const;
  void Fail(int error, std::string reason);
  void FlushCaches(int diskFd) const;

  std::string path_;
  std::string sysfsRoot_;
  std::string procRoot_;
  std::string devRoot_;
  PinnedIdentity expected_;
  std::function<void()> handOver_;
  std::vector<UniqueFd> stackedHolds_;
  int lastError_ = 0;
  std::string lastFailure_;
};

}  // namespace vellumar::platform

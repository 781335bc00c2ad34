#pragma once

#include <sys/stat.h>
#include <sys/types.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "devices/base/block_device.h"
#include "platform/linux/io/unique_fd.h"

namespace vellumar::platform {

// Facts about a block device node or an image file, read without opening it for writing.
struct DeviceGeometry {
  std::int64_t SizeBytes = 0;
  std::int64_t LogicalSectorSize = 0;
  bool IsRegularFile = false;
  dev_t Rdev = 0;  // device number of a block node; 0 for a file
};

// Opens a block device node or an image file with `flags`, with direct I/O where the file system
// allows it; empty with `error` (an errno) set otherwise, also for any other kind of file.
UniqueFd OpenBlockOrImage(const std::string& path, int flags, int& error, struct stat& info);

// Reads size and sector size through a read-only, non-blocking handle. False with errno set on failure.
bool ReadGeometry(const std::string& path, DeviceGeometry& geometry);

// A block device (or image file) opened for one format run: read-write, exclusive, direct I/O.
class LinuxBlockDevice final : public vellumar::BlockDevice {
 public:
  // nullptr with `error` set (errno) when the node cannot be opened; EBUSY when anything
  // else holds the disk (a mounted partition, swap, a device-mapper holder).
  // With `noFollow` a symbolic link at `path` is refused (an image file named by the user).
  static std::unique_ptr<LinuxBlockDevice> OpenExclusive(const std::string& path, const std::string& sysfsRoot,
                                                         int& error, bool noFollow = false);
  LinuxBlockDevice(const LinuxBlockDevice&) = delete;
  LinuxBlockDevice& operator=(const LinuxBlockDevice&) = delete;

  std::int64_t Seek(std::int64_t offset) override;
  vellumar::WriteOutcome Write(const std::uint8_t* data, std::int64_t length) override;
  std::uint32_t Flush() override;
  vellumar::ReadOutcome ReadAt(std::int64_t offset, std::uint8_t* data, std::int64_t length) override;
  std::string RereadPartitionTable() override;

  int Descriptor() const { return fd_.Get(); }

  // Asks `gone` before a write at most once every `intervalMs` (by `nowMs`, a steady clock) and
  // after every failed write; once it answers true, every write fails as unplugged. A medium
  // swapped in a card reader mid-run must not receive the rest of the zeros.
  void WatchPresence(std::function<bool()> gone, std::function<std::int64_t()> nowMs, std::int64_t intervalMs = 1000);

 private:
  LinuxBlockDevice(UniqueFd fd, std::string sysfsRoot, dev_t rdev, bool isFile);
  std::uint32_t MapFailure(int error);
  bool Gone();
  bool PresenceDue();
  vellumar::WriteOutcome WriteAll(const std::uint8_t* data, std::int64_t length);

  UniqueFd fd_;
  std::string sysfsRoot_;
  dev_t rdev_;
  bool isFile_;
  std::function<bool()> gone_;
  std::function<std::int64_t()> nowMs_;
  std::int64_t intervalMs_ = 1000;
  std::int64_t lastCheckMs_ = 0;
  bool vanished_ = false;
};

// True when the disk behind `rdev` is gone: its sysfs entry vanished, its state reads offline,
// transport-offline, deleted or dead, or its disk sequence number is no longer `diskSeq` (a new
// medium, or another disk under the same number). A `diskSeq` of 0 is not compared.
bool DiskVanished(const std::string& sysfsRoot, dev_t rdev, std::uint64_t diskSeq = 0);

// The kernel's disk sequence number of the open disk; 0 when the kernel has none.
std::uint64_t ReadDiskSeq(int fd);

// Milliseconds of a steady clock, for the presence checks.
std::int64_t SteadyNowMs();

}  // namespace vellumar::platform

#pragma once

#include <sys/types.h>

#include <cstdint>
#include <memory>
#include <string>

#include "devices/base/block_device.h"
#include "platform/linux/io/unique_fd.h"

namespace vellumar::platform {

// pread(2) until `length` bytes arrived from `offset`, the device ended or a read failed: the
// bytes read and, when fewer than asked arrived, the errno of the failure (0 at the end).
struct RawRead {
  std::int64_t Read = 0;
  int Error = 0;
};
RawRead PreadFully(int fd, std::int64_t offset, std::uint8_t* data, std::int64_t length);

// A disk or image file opened only for reading back what is on it, so it can check a drive that
// something else erased, also a write-protected one. Writing is refused.
class LinuxReadOnlyDevice final : public vellumar::BlockDevice {
 public:
  // nullptr with `error` (errno) when the node cannot be opened. `exclusive` claims a disk
  // (O_EXCL) for as long as it is open, so nothing mounts it meanwhile.
  static std::unique_ptr<LinuxReadOnlyDevice> Open(const std::string& path, const std::string& sysfsRoot, int& error,
                                                   bool exclusive = false);
  LinuxReadOnlyDevice(const LinuxReadOnlyDevice&) = delete;
  LinuxReadOnlyDevice& operator=(const LinuxReadOnlyDevice&) = delete;

  std::int64_t Seek(std::int64_t offset) override;
  vellumar::WriteOutcome Write(const std::uint8_t* data, std::int64_t length) override;
  std::uint32_t Flush() override;
  vellumar::ReadOutcome ReadAt(std::int64_t offset, std::uint8_t* data, std::int64_t length) override;
  int Descriptor() const { return fd_.Get(); }

 private:
  LinuxReadOnlyDevice(UniqueFd fd, std::string sysfsRoot, dev_t rdev);
  vellumar::ReadOutcome Outcome(const RawRead& raw, std::int64_t length) const;

  UniqueFd fd_;
  std::string sysfsRoot_;
  dev_t rdev_;  // 0 for an image file
};

}  // namespace vellumar::platform

#pragma once

#include <memory>
#include <string>

#include "platform/linux/io/identity_pin.h"
#include "platform/linux/io/unique_fd.h"

namespace vellumar::platform {

// The chosen drive, open for reading and writing but shared (reports and queries run through it
// while the system keeps using the disk). It only opens when the node is still the drive that
// was listed: same device number, same size, same serial.
class DriveHandle {
 public:
  // nullptr with `error` set when the drive cannot be opened or is no longer the listed one;
  // callers show "Error opening device: " followed by `error`.
  static std::unique_ptr<DriveHandle> Open(const std::string& path, const PinnedIdentity& expected,
                                           const std::string& sysfsRoot, std::string& error);
  DriveHandle(const DriveHandle&) = delete;
  DriveHandle& operator=(const DriveHandle&) = delete;

  int Descriptor() const { return fd_.Get(); }
  const std::string& Path() const { return path_; }

 private:
  DriveHandle(UniqueFd fd, std::string path) : fd_(std::move(fd)), path_(std::move(path)) {}

  UniqueFd fd_;
  std::string path_;
};

}  // namespace vellumar::platform

#pragma once

#include <cstdint>
#include <string>

namespace vellumar::testing {

// A loop device over an image file that the test itself made; detached and deleted on
// destruction, whatever happened in between.
class LoopDevice {
 public:
  // `options` go to losetup (e.g. "--sector-size 4096", "-P").
  LoopDevice(std::int64_t sizeBytes, const std::string& options = "", std::uint8_t fill = 0xAA);
  ~LoopDevice();
  LoopDevice(const LoopDevice&) = delete;
  LoopDevice& operator=(const LoopDevice&) = delete;

  bool Ok() const { return !node_.empty(); }
  const std::string& Node() const { return node_; }
  const std::string& Image() const { return image_; }
  const std::string& Error() const { return error_; }

 private:
  std::string image_;
  std::string node_;
  std::string error_;
};

// A mount that is undone on destruction.
class MountGuard {
 public:
  MountGuard(const std::string& device, const std::string& options = "");
  ~MountGuard();
  MountGuard(const MountGuard&) = delete;
  MountGuard& operator=(const MountGuard&) = delete;

  bool Ok() const { return mounted_; }
  const std::string& Point() const { return point_; }

 private:
  std::string point_;
  bool mounted_ = false;
};

}  // namespace vellumar::testing

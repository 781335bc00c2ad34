#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace vellumar::testing {

// Detaches `node` if it still shows `backing`, retrying while udev or a closing handle keeps it
// open: a single `losetup -d` that lost that race left the device attached for good.
void DetachLoop(const std::string& node, const std::string& backing);

// A loop device that the test attached itself over `backing` (another of its devices, say);
// detached on destruction. Node() is empty when losetup failed, and Error() says why.
class LoopAttachment {
 public:
  explicit LoopAttachment(const std::string& backing, const std::string& options = "");
  ~LoopAttachment();
  LoopAttachment(const LoopAttachment&) = delete;
  LoopAttachment& operator=(const LoopAttachment&) = delete;

  const std::string& Node() const { return node_; }
  const std::string& Error() const { return error_; }

 private:
  std::string backing_;
  std::string node_;
  std::string error_;
};

// A loop device over an image file that the test itself made; detached and deleted on
// destruction, whatever happened in between.
class LoopDevice {
 public:
  // `options` go to losetup (e.g. "--sector-size 4096", "-P").
  LoopDevice(std::int64_t sizeBytes, const std::string& options = "", std::uint8_t fill = 0xAA);
  ~LoopDevice();
  LoopDevice(const LoopDevice&) = delete;
  LoopDevice& operator=(const LoopDevice&) = delete;

  bool Ok() const { return !attachment_->Node().empty(); }
  const std::string& Node() const { return attachment_->Node(); }
  const std::string& Image() const { return image_; }
  const std::string& Error() const { return attachment_->Error(); }

 private:
  std::string image_;
  std::unique_ptr<LoopAttachment> attachment_;
};

// A loop disk with an sfdisk partition table. Kernels built without table parsers take the
// partitions from partx; without udev the partition nodes are made here (and removed again).
// When the kernel shows no partitions at all, Partitioned() is false.
class PartitionedLoop {
 public:
  PartitionedLoop(std::int64_t sizeBytes, const std::string& table);
  ~PartitionedLoop();
  PartitionedLoop(const PartitionedLoop&) = delete;
  PartitionedLoop& operator=(const PartitionedLoop&) = delete;

  bool Ok() const { return loop_.Ok(); }
  const std::string& Error() const { return loop_.Error(); }
  const std::string& Node() const { return loop_.Node(); }
  const std::string& Image() const { return loop_.Image(); }
  bool Partitioned() const { return partitioned_; }
  std::string Partition(int number) const { return loop_.Node() + "p" + std::to_string(number); }
  // The kernel's partition entries are gone, as after re-reading a wiped table.
  bool PartitionsGone() const;

 private:
  std::string SysfsEntry(int number) const;

  LoopDevice loop_;
  bool partitioned_ = false;
  std::vector<std::string> made_;
};

// Bytes of the file in [begin, end) that are not zero; `end` -1 is the end of the file.
std::int64_t NonZeroBytes(const std::string& path, std::int64_t begin = 0, std::int64_t end = -1);

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

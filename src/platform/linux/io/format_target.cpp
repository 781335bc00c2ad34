#include "platform/linux/io/format_target.h"

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/linux/sysfs/sysfs_disks.h"
#include "platform/linux/sysfs/sysfs_files.h"
#include "platform/linux/volumes/block_stack.h"
#include "platform/linux/volumes/running_system.h"

namespace vellumar::platform {

namespace {

// Loop devices on loop devices: deeper chains than this are not followed.
constexpr int kMaxStackDepth = 8;

}  // namespace

std::string LinuxFormatTarget::DiskName() const {
  return expected_.IsFile ? std::string()
                          : BlockNameOf(sysfsRoot_, major(expected_.Rdev), minor(expected_.Rdev)).value_or("");
}

void LinuxFormatTarget::Fail(int error, std::string reason) {
  lastError_ = error;
  lastFailure_ = std::move(reason);
}

void LinuxFormatTarget::FlushCaches(int diskFd) const {
  // What any earlier writer left in the partitions' or the disk's cache is written out and
  // dropped now, so no late writeback lands on the erased disk and no read is served stale.
  const std::string disk = DiskName();
  for (const std::string& entry : ListFolder(JoinPath({sysfsRoot_, "/class/block/", disk}))) {
    const std::optional<std::pair<unsigned, unsigned>> numbers = DevNumbersOfBlock(sysfsRoot_, entry);
    if (!numbers || !PathExists(JoinPath({sysfsRoot_, "/class/block/", entry, "/partition"}))) {
      continue;
    }
    const UniqueFd partition(::open((devRoot_ + "/" + entry).c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    struct stat info {};
    if (partition && ::fstat(partition.Get(), &info) == 0 && S_ISBLK(info.st_mode) &&
        info.st_rdev == makedev(numbers->first, numbers->second)) {
      ::fsync(partition.Get());
      ::ioctl(partition.Get(), BLKFLSBUF);
    }
  }
  ::fsync(diskFd);
  ::ioctl(diskFd, BLKFLSBUF);
}

std::string LinuxFormatTarget::RunningSystemRefusal() {
  const std::string disk = DiskName();
  if (disk.empty()) {
    return {};
  }
  const std::string volume = RunningSystemVolume(sysfsRoot_, procRoot_, disk);
  return volume.empty() ? std::string() : vellumar::RunningSystemRefusalLine(volume);
}

std::string LinuxFormatTarget::CheckIdentity() {
  const UniqueFd fd = OpenForLook(path_, expected_.IsFile);
  if (!fd) {
    return std::strerror(errno);
  }
  return CheckPinnedIdentity(fd.Get(), expected_, sysfsRoot_);
}

bool LinuxFormatTarget::HoldStackedDevices() {
  lastError_ = 0;
  lastFailure_.clear();
  // The kernel's exclusive open of a loop device does not reach the disk behind it: a loop
  // device on a mounted partition would be erased under its file system.
  std::string current = DiskName();
  for (int depth = 0; depth < kMaxStackDepth && !current.empty(); ++depth) {
    const std::optional<std::string> backing = LoopBackingFile(sysfsRoot_, current);
    struct stat info {};
    if (!backing || ::stat(backing->c_str(), &info) != 0 || !S_ISBLK(info.st_mode)) {
      return true;  // not a loop device, or one over a file: the file's own file system guards it
    }
    UniqueFd hold(::open(backing->c_str(), O_RDONLY | O_EXCL | O_NONBLOCK | O_CLOEXEC));
    if (!hold) {
      Fail(errno, "the device behind it (" + *backing + ") is in use");
      ReleaseStackedDevices();
      return false;
    }
    stackedHolds_.push_back(std::move(hold));
    current = BlockNameOf(sysfsRoot_, major(info.st_rdev), minor(info.st_rdev)).value_or("");
  }
  return true;
}

void LinuxFormatTarget::ReleaseStackedDevices() { stackedHolds_.clear(); }

std::unique_ptr<vellumar::BlockDevice> LinuxFormatTarget::OpenExclusive() {
  lastError_ = 0;
  lastFailure_.clear();
  if (handOver_) {
    handOver_();
  }
  int error = 0;
  auto device = LinuxBlockDevice::OpenExclusive(path_, sysfsRoot_, error, expected_.IsFile);
  if (!device) {
    Fail(error, std::strerror(error));
    return nullptr;
  }
  // Never write to a disk the user did not confirm: the node may name another device by now.
  const std::string mismatch = CheckPinnedIdentity(device->Descriptor(), expected_, sysfsRoot_);
  if (!mismatch.empty()) {
    Fail(ENODEV, mismatch);
    return nullptr;
  }
  if (!expected_.IsFile) {
    const int fd = device->Descriptor();
    FlushCaches(fd);
    device->WatchPresence(
        [sysfsRoot = sysfsRoot_, expected = expected_, fd] {
          return DiskVanished(sysfsRoot, expected.Rdev, expected.DiskSeq) ||
                 (expected.DiskSeq != 0 && ReadDiskSeq(fd) != expected.DiskSeq);
        },
        SteadyNowMs);
  }
  return device;
}

std::string LinuxFormatTarget::RereadPartitions(vellumar::BlockDevice* openDevice) {
  if (openDevice != nullptr) {
    return openDevice->RereadPartitionTable();
  }
  if (expected_.IsFile) {
    return {};
  }
  // The run never got its handle: the table is re-read through a plain one, on the pinned disk only.
  const UniqueFd fd = OpenForLook(path_, false);
  if (!fd) {
    return {};
  }
  struct stat info {};
  if (::fstat(fd.Get(), &info) == 0 && S_ISBLK(info.st_mode) && info.st_rdev == expected_.Rdev &&
      ::ioctl(fd.Get(), BLKRRPART) != 0) {
    return std::strerror(errno);
  }
  return {};
}

std::string LinuxFormatTarget::OpenFailure() const {
  // A disk in use is already explained by the lock line; anything else is worth saying.
  return lastError_ != 0 && lastError_ != EBUSY ? lastFailure_ : std::string();
}

}  // namespace vellumar::platform

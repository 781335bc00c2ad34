#include "platform/linux/linux_volume_system.h"

#include <fcntl.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/swap.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <set>
#include <utility>

#include "platform/linux/mountinfo.h"
#include "platform/linux/sysfs_disks.h"
#include "platform/linux/sysfs_files.h"

namespace vellumar::platform {

namespace {

using DevNumbers = std::pair<unsigned, unsigned>;

std::string BaseName(const std::string& path) { return path.substr(path.find_last_of('/') + 1); }

// The device number behind a node path: by its kernel name in sysfs first (so fake trees
// work), then by the node itself (for /dev/mapper links and the like).
std::optional<DevNumbers> DevNumbersOfNode(const std::string& sysfsRoot, const std::string& path) {
  DevNumbers numbers;
  if (ParseDevNumbers(ReadAttribute(sysfsRoot + "/class/block/" + BaseName(path) + "/dev").value_or(""), numbers.first,
                      numbers.second)) {
    return numbers;
  }
  struct stat info {};
  if (::stat(path.c_str(), &info) == 0 && S_ISBLK(info.st_mode)) {
    return DevNumbers{::major(info.st_rdev), ::minor(info.st_rdev)};
  }
  return std::nullopt;
}

// A file system that reports an anonymous device number (btrfs) is matched by its source node.
std::optional<DevNumbers> DevNumbersOfMount(const std::string& sysfsRoot, const MountEntry& entry) {
  if (entry.Major != 0) {
    return DevNumbers{entry.Major, entry.Minor};
  }
  if (!entry.Source.empty() && entry.Source.front() == '/') {
    return DevNumbersOfNode(sysfsRoot, entry.Source);
  }
  return std::nullopt;
}

std::optional<DevNumbers> DevNumbersOfSwap(const std::string& sysfsRoot, const SwapEntry& entry) {
  if (entry.Type != "partition") {
    return std::nullopt;  // a swap file lives on a volume that is mounted anyway
  }
  return DevNumbersOfNode(sysfsRoot, entry.Path);
}

std::vector<DevNumbers> VolumesInUse(const std::string& sysfsRoot, const std::string& procRoot) {
  std::vector<DevNumbers> numbers;
  for (const MountEntry& entry : ParseMountInfo(ReadTextFile(procRoot + "/self/mountinfo"))) {
    if (const auto found = DevNumbersOfMount(sysfsRoot, entry)) {
      numbers.push_back(*found);
    }
  }
  for (const SwapEntry& entry : ParseSwaps(ReadTextFile(procRoot + "/swaps"))) {
    if (const auto found = DevNumbersOfSwap(sysfsRoot, entry)) {
      numbers.push_back(*found);
    }
  }
  return numbers;
}

// The candidate disk of a block device: itself, the disk it is a partition of, or the lowest
// numbered disk under its device-mapper or md stack. -1 when there is none.
int DiskNumberOf(const std::string& sysfsRoot, const std::string& name, const std::vector<std::string>& disks) {
  int best = -1;
  std::set<std::string> seen;
  std::vector<std::string> pending{name};
  while (!pending.empty()) {
    std::string current = pending.back();
    pending.pop_back();
    if (!seen.insert(current).second) {
      continue;
    }
    const std::string classDir = JoinPath({sysfsRoot, "/class/block/", current});
    if (PathExists(classDir + "/partition")) {
      const std::string resolved = ResolvedPath(classDir).value_or("");
      const std::string parent = resolved.substr(0, resolved.find_last_of('/'));
      current = BaseName(parent);
    }
    const auto found = std::find(disks.begin(), disks.end(), current);
    if (found != disks.end()) {
      const int number = static_cast<int>(found - disks.begin());
      best = best < 0 ? number : std::min(best, number);
      continue;
    }
    for (const std::string& lower : ListFolder(JoinPath({sysfsRoot, "/class/block/", current, "/slaves"}))) {
      pending.push_back(lower);
    }
  }
  return best;
}

class LinuxVolumeHandle final : public vellumar::VolumeHandle {
 public:
  LinuxVolumeHandle(int fd, std::string name, DevNumbers numbers, std::string sysfsRoot, std::string procRoot)
      : fd_(fd),
        name_(std::move(name)),
        numbers_(numbers),
        sysfsRoot_(std::move(sysfsRoot)),
        procRoot_(std::move(procRoot)) {}
  ~LinuxVolumeHandle() override { ::close(fd_); }
  LinuxVolumeHandle(const LinuxVolumeHandle&) = delete;
  LinuxVolumeHandle& operator=(const LinuxVolumeHandle&) = delete;

  bool Lock() override {
    // The newest mount goes first: it may sit on top of an older one. A mount that vanished
    // meanwhile (propagated from another unmount) only needs the list read again.
    constexpr int kMaxRounds = 256;
    for (int round = 0; round < kMaxRounds; ++round) {
      const VolumeUses uses = Uses();
      if (uses.MountPoints.empty()) {
        break;
      }
      const std::string& point = uses.MountPoints.back();
      if (::umount2(point.c_str(), 0) != 0 && errno != EINVAL && errno != ENOENT) {
        return false;
      }
    }
    if (!Uses().MountPoints.empty()) {
      return false;
    }
    for (const std::string& path : Uses().SwapPaths) {
      if (::swapoff(path.c_str()) != 0) {
        return false;
      }
    }
    return true;
  }

  bool Dismount() override {
    const int exclusive = ::open(name_.c_str(), O_RDONLY | O_EXCL | O_NONBLOCK | O_CLOEXEC);
    if (exclusive < 0) {
      return false;
    }
    ::close(fd_);
    fd_ = exclusive;
    return true;
  }

 private:
  VolumeUses Uses() const { return FindVolumeUses(sysfsRoot_, procRoot_, numbers_.first, numbers_.second); }

  int fd_;
  std::string name_;
  DevNumbers numbers_;
  std::string sysfsRoot_;
  std::string procRoot_;
};

}  // namespace

VolumeUses FindVolumeUses(const std::string& sysfsRoot, const std::string& procRoot, unsigned major, unsigned minor) {
  VolumeUses uses;
  const DevNumbers wanted{major, minor};
  for (const MountEntry& entry : ParseMountInfo(ReadTextFile(procRoot + "/self/mountinfo"))) {
    if (DevNumbersOfMount(sysfsRoot, entry) == wanted) {
      uses.MountPoints.push_back(entry.MountPoint);
    }
  }
  for (const SwapEntry& entry : ParseSwaps(ReadTextFile(procRoot + "/swaps"))) {
    if (DevNumbersOfSwap(sysfsRoot, entry) == wanted) {
      uses.SwapPaths.push_back(entry.Path);
    }
  }
  return uses;
}

std::vector<std::string> LinuxVolumeSystem::GetLogicalDrivesList() {
  std::vector<std::string> kernelNames;
  for (const DevNumbers& numbers : VolumesInUse(sysfsRoot_, procRoot_)) {
    if (const auto name = BlockNameOf(sysfsRoot_, numbers.first, numbers.second)) {
      kernelNames.push_back(*name);
    }
  }
  std::sort(kernelNames.begin(), kernelNames.end(), NaturalDiskLess);
  kernelNames.erase(std::unique(kernelNames.begin(), kernelNames.end()), kernelNames.end());
  std::vector<std::string> names;
  names.reserve(kernelNames.size());
  for (const std::string& name : kernelNames) {
    names.push_back(devRoot_ + "/" + name);
  }
  return names;
}

vellumar::TVolumeDeviceNumber LinuxVolumeSystem::GetVolumeDeviceNumber(const std::string& name) {
  vellumar::TVolumeDeviceNumber number;
  const std::string kernelName = BaseName(name);
  if (!PathExists(sysfsRoot_ + "/class/block/" + kernelName)) {
    return number;
  }
  const int disk =
      DiskNumberOf(sysfsRoot_, kernelName, diskOrder_.empty() ? ListCandidateDisks(sysfsRoot_) : diskOrder_);
  if (disk < 0) {
    return number;
  }
  number.Found = true;
  number.DeviceType = vellumar::kFileDeviceDisk;
  number.DeviceNumber = static_cast<std::uint32_t>(disk);
  const std::string partition = ReadAttribute(sysfsRoot_ + "/class/block/" + kernelName + "/partition").value_or("0");
  try {
    number.PartitionNumber = static_cast<std::uint32_t>(std::stoul(partition));
  } catch (const std::exception&) {
    number.PartitionNumber = 0;
  }
  return number;
}

std::unique_ptr<vellumar::VolumeHandle> LinuxVolumeSystem::OpenVolume(const std::string& name) {
  const int fd = ::open(name.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    return nullptr;
  }
  struct stat info {};
  if (::fstat(fd, &info) != 0 || !S_ISBLK(info.st_mode)) {
    ::close(fd);
    return nullptr;
  }
  return std::make_unique<LinuxVolumeHandle>(fd, name, DevNumbers{::major(info.st_rdev), ::minor(info.st_rdev)},
                                             sysfsRoot_, procRoot_);
}

}  // namespace vellumar::platform

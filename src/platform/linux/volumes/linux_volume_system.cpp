#include "platform/linux/volumes/linux_volume_system.h"

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/swap.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <map>
#include <sstream>
#include <utility>

#include "platform/linux/io/unique_fd.h"
#include "platform/linux/sysfs/sysfs_disks.h"
#include "platform/linux/sysfs/sysfs_files.h"
#include "platform/linux/volumes/block_stack.h"
#include "platform/linux/volumes/drive_census.h"
#include "platform/linux/volumes/mount_pin.h"
#include "platform/linux/volumes/mountinfo.h"
#include "platform/linux/volumes/running_system.h"

namespace vellumar::platform {

namespace {

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

// The drive number of the disk a block device lives on: itself, the disk it is a partition
// of, or the lowest numbered disk under its device-mapper or md stack. -1 when there is none.
// Pinned disks are matched by device number, so a disk renamed or replaced since the drives
// were listed cannot take a listed disk's place.
int DiskNumberOf(const std::string& sysfsRoot, const std::string& name, const std::vector<std::string>& disks,
                 const std::map<std::uint32_t, DevNumbers>& pinned) {
  int best = -1;
  for (const std::string& below : BlockStack(sysfsRoot, name, false)) {
    int number = -1;
    if (!pinned.empty()) {
      const std::optional<DevNumbers> numbers = DevNumbersOfBlock(sysfsRoot, below);
      for (const auto& [driveNumber, pin] : pinned) {
        if (numbers == pin) {
          number = static_cast<int>(driveNumber);
        }
      }
    } else {
      const auto found = std::find(disks.begin(), disks.end(), below);
      number = found == disks.end() ? -1 : static_cast<int>(found - disks.begin());
    }
    if (number >= 0) {
      best = best < 0 ? number : std::min(best, number);
    }
  }
  return best;
}

// Swap priorities the kernel handed out itself are negative; only a chosen one is given back.
int SwapFlags(int priority) {
  return priority >= 0 ? SWAP_FLAG_PREFER | ((priority << SWAP_FLAG_PRIO_SHIFT) & SWAP_FLAG_PRIO_MASK) : 0;
}

class LinuxVolumeHandle final : public vellumar::VolumeHandle {
 public:
  LinuxVolumeHandle(UniqueFd fd, std::string name, DevNumbers numbers, std::string sysfsRoot, std::string procRoot)
      : claim_(std::move(fd)),
        name_(std::move(name)),
        numbers_(numbers),
        sysfsRoot_(std::move(sysfsRoot)),
        procRoot_(std::move(procRoot)) {}
  LinuxVolumeHandle(const LinuxVolumeHandle&) = delete;
  LinuxVolumeHandle& operator=(const LinuxVolumeHandle&) = delete;

  bool Lock() override {
    // The newest mount goes first: it may sit on top of an older one. Each is held by the
    // folder it is mounted in before it goes, so it can be given back to that place only.
    constexpr int kMaxRounds = 256;
    for (int round = 0; round < kMaxRounds; ++round) {
      const std::vector<MountEntry> mine = MyMounts();
      if (mine.empty()) {
        break;
      }
      const MountEntry& newest = mine.back();
      if (newest.Root != "/") {
        return false;  // a part of the file system only: it could not be put back the same way
      }
      std::string why;
      std::optional<MountPin> pin = MountPin::Take(newest, why);
      if (!pin) {
        return false;
      }
      const int error = pin->Unmount();
      if (error == 0) {
        unmounted_.push_back({newest, std::move(*pin)});
      } else if (error != EINVAL && error != ENOENT) {
        return false;
      }
    }
    if (!MyMounts().empty()) {
      return false;
    }
    for (const SwapEntry& swap : Swaps()) {
      if (::swapoff(NodePath().c_str()) != 0) {
        return false;
      }
      swappedOff_.push_back(swap);
    }
    return true;
  }

  std::vector<std::string> TakenLines() override {
    std::vector<std::string> lines;
    for (const Unmounted& taken : unmounted_) {
      lines.push_back("Unmounted " + taken.Entry.MountPoint + " (" + NodePath() + ")");
    }
    for (std::size_t i = 0; i < swappedOff_.size(); ++i) {
      lines.push_back("Swap switched off: " + NodePath());
    }
    return lines;
  }

  bool Dismount() override {
    UniqueFd exclusive(::open(NodePath().c_str(), O_RDONLY | O_EXCL | O_NONBLOCK | O_CLOEXEC));
    struct stat info {};
    if (!exclusive || ::fstat(exclusive.Get(), &info) != 0 || info.st_rdev != Rdev()) {
      return false;
    }
    // Nothing the file system or a writer left in the cache may reach the disk after the run.
    ::fsync(exclusive.Get());
    ::ioctl(exclusive.Get(), BLKFLSBUF);
    ReleaseClaim();
    claim_ = std::move(exclusive);
    return true;
  }

  void ReleaseClaim() override { claim_.Reset(); }

  std::vector<std::string> Restore() override {
    ReleaseClaim();  // a claimed volume cannot be mounted
    std::vector<std::string> lines;
    for (auto taken = unmounted_.rbegin(); taken != unmounted_.rend(); ++taken) {
      lines.push_back(taken->Pin.Remount(taken->Entry, NodePath(), Rdev()));
    }
    for (const SwapEntry& swap : swappedOff_) {
      struct stat node {};
      const bool same = ::stat(NodePath().c_str(), &node) == 0 && S_ISBLK(node.st_mode) && node.st_rdev == Rdev();
      lines.push_back(same && ::swapon(NodePath().c_str(), SwapFlags(swap.Priority)) == 0
                          ? "Swap switched on again: " + NodePath()
                          : "Swap could not be switched on again: " + NodePath() + " (" +
                                (same ? std::strerror(errno) : "its device node changed") + ")");
    }
    unmounted_.clear();
    swappedOff_.clear();
    return lines;
  }

 private:
  struct Unmounted {
    MountEntry Entry;
    MountPin Pin;
  };

  dev_t Rdev() const { return ::makedev(numbers_.first, numbers_.second); }
  // The volume's node, named from its number: never the name a mount table or a user gave.
  std::string NodePath() const { return name_; }
  std::vector<MountEntry> MyMounts() const {
    std::vector<MountEntry> mine;
    for (const MountEntry& entry : ParseMountInfo(ReadTextFile(procRoot_ + "/self/mountinfo"))) {
      if (DevNumbersOfMount(sysfsRoot_, entry) == numbers_) {
        mine.push_back(entry);
      }
    }
    return mine;
  }
  std::vector<SwapEntry> Swaps() const {
    std::vector<SwapEntry> mine;
    for (const SwapEntry& entry : ParseSwaps(ReadTextFile(procRoot_ + "/swaps"))) {
      if (DevNumbersOfSwap(sysfsRoot_, entry) == numbers_) {
        mine.push_back(entry);
      }
    }
    return mine;
  }

  UniqueFd claim_;
  std::string name_;
  DevNumbers numbers_;
  std::string sysfsRoot_;
  std::string procRoot_;
  std::vector<Unmounted> unmounted_;  // in the order they were unmounted
  std::vector<SwapEntry> swappedOff_;
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
      DiskNumberOf(sysfsRoot_, kernelName, diskOrder_.empty() ? ListCandidateDisks(sysfsRoot_) : diskOrder_, pinned_);
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
  UniqueFd fd(::open(name.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
  if (!fd) {
    return nullptr;
  }
  struct stat info {};
  if (::fstat(fd.Get(), &info) != 0 || !S_ISBLK(info.st_mode)) {
    return nullptr;
  }
  return std::make_unique<LinuxVolumeHandle>(
      std::move(fd), name, DevNumbers{::major(info.st_rdev), ::minor(info.st_rdev)}, sysfsRoot_, procRoot_);
}

vellumar::DriveCensus LinuxVolumeSystem::TakeCensus(std::int64_t deviceNumber) {
  const auto pin = pinned_.find(static_cast<std::uint32_t>(deviceNumber));
  if (pin == pinned_.end()) {
    // Only a pinned disk can be told apart from one that took its place.
    return {{{"the drive was not pinned to a device number", false}}, {}};
  }
  return DiskCensus(SystemCensus(sysfsRoot_, procRoot_, devRoot_), ::makedev(pin->second.first, pin->second.second));
}

std::string LinuxVolumeSystem::RunningSystemVolume(std::int64_t deviceNumber) {
  std::string disk;
  if (const auto pin = pinned_.find(static_cast<std::uint32_t>(deviceNumber)); pin != pinned_.end()) {
    disk = BlockNameOf(sysfsRoot_, pin->second.first, pin->second.second).value_or("");
  } else {
    const std::vector<std::string> disks = diskOrder_.empty() ? ListCandidateDisks(sysfsRoot_) : diskOrder_;
    if (deviceNumber >= 0 && static_cast<std::size_t>(deviceNumber) < disks.size()) {
      disk = disks[static_cast<std::size_t>(deviceNumber)];
    }
  }
  return disk.empty() ? std::string() : platform::RunningSystemVolume(sysfsRoot_, procRoot_, disk);
}

}  // namespace vellumar::platform

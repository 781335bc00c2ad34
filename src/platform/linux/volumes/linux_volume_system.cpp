#include "platform/linux/volumes/linux_volume_system.h"

#include <fcntl.h>
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

// Mount flags that mountinfo shows among a mount's own options.
unsigned long MountFlags(const std::string& options) {
  static const std::map<std::string, unsigned long> kFlags = {
      {"ro", MS_RDONLY},         {"nosuid", MS_NOSUID},           {"nodev", MS_NODEV},
      {"noexec", MS_NOEXEC},     {"noatime", MS_NOATIME},         {"nodiratime", MS_NODIRATIME},
      {"relatime", MS_RELATIME}, {"strictatime", MS_STRICTATIME}, {"sync", MS_SYNCHRONOUS},
      {"dirsync", MS_DIRSYNC},   {"lazytime", MS_LAZYTIME}};
  unsigned long flags = 0;
  std::istringstream words(options);
  std::string word;
  while (std::getline(words, word, ',')) {
    if (const auto found = kFlags.find(word); found != kFlags.end()) {
      flags |= found->second;
    }
  }
  return flags;
}

// The file system's own options without the read-only switch, which the flags carry.
std::string FileSystemData(const std::string& options) {
  std::string data;
  std::istringstream words(options);
  std::string word;
  while (std::getline(words, word, ',')) {
    if (word != "rw" && word != "ro") {
      data += (data.empty() ? "" : ",") + word;
    }
  }
  return data;
}

bool HasChildMounts(const std::vector<MountEntry>& mounts, const MountEntry& parent) {
  return std::any_of(mounts.begin(), mounts.end(),
                     [&parent](const MountEntry& entry) { return entry.ParentId == parent.Id && &entry != &parent; });
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

  bool IsBusy() override {
    // MNT_EXPIRE unmounts nothing the first time: an idle mount answers EAGAIN and is only
    // marked, a mount in use answers EBUSY. A mount with others on top of it answers EBUSY
    // too; those are found out when they are taken, and given back then.
    const std::vector<MountEntry> mounts = Mounts();
    for (const MountEntry& entry : mounts) {
      if (!OnThisVolume(entry) || HasChildMounts(mounts, entry)) {
        continue;
      }
      if (::umount2(entry.MountPoint.c_str(), MNT_EXPIRE) == 0) {
        unmounted_.push_back(entry);  // someone had marked it already: it is gone now
      } else if (errno == EBUSY) {
        return true;
      }
    }
    return false;
  }

  bool Lock() override {
    // The newest mount goes first: it may sit on top of an older one. A mount that vanished
    // meanwhile (propagated from another unmount) only needs the list read again.
    constexpr int kMaxRounds = 256;
    for (int round = 0; round < kMaxRounds; ++round) {
      const std::vector<MountEntry> mine = MyMounts();
      if (mine.empty()) {
        break;
      }
      const MountEntry& newest = mine.back();
      if (::umount2(newest.MountPoint.c_str(), 0) == 0) {
        unmounted_.push_back(newest);
      } else if (errno != EINVAL && errno != ENOENT) {
        return false;
      }
    }
    if (!MyMounts().empty()) {
      return false;
    }
    for (const std::string& path : Uses().SwapPaths) {
      if (::swapoff(path.c_str()) != 0) {
        return false;
      }
      swappedOff_.push_back(path);
    }
    return true;
  }

  bool Dismount() override {
    UniqueFd exclusive(::open(name_.c_str(), O_RDONLY | O_EXCL | O_NONBLOCK | O_CLOEXEC));
    if (!exclusive) {
      return false;
    }
    ReleaseClaim();
    claim_ = std::move(exclusive);
    return true;
  }

  void ReleaseClaim() override { claim_.Reset(); }

  std::vector<std::string> Restore() override {
    ReleaseClaim();  // a claimed volume cannot be mounted
    std::vector<std::string> lines;
    for (auto entry = unmounted_.rbegin(); entry != unmounted_.rend(); ++entry) {
      lines.push_back(Remount(*entry));
    }
    for (const std::string& path : swappedOff_) {
      lines.push_back(::swapon(path.c_str(), 0) == 0
                          ? "Swap switched on again: " + path
                          : "Swap could not be switched on again: " + path + " (" + std::strerror(errno) + ")");
    }
    unmounted_.clear();
    swappedOff_.clear();
    return lines;
  }

 private:
  std::vector<MountEntry> Mounts() const { return ParseMountInfo(ReadTextFile(procRoot_ + "/self/mountinfo")); }
  bool OnThisVolume(const MountEntry& entry) const { return DevNumbersOfMount(sysfsRoot_, entry) == numbers_; }
  std::vector<MountEntry> MyMounts() const {
    std::vector<MountEntry> mine;
    for (const MountEntry& entry : Mounts()) {
      if (OnThisVolume(entry)) {
        mine.push_back(entry);
      }
    }
    return mine;
  }
  VolumeUses Uses() const { return FindVolumeUses(sysfsRoot_, procRoot_, numbers_.first, numbers_.second); }

  static std::string Remount(const MountEntry& entry) {
    const std::string what = entry.Source + " on " + entry.MountPoint;
    if (entry.Root != "/") {
      // A bind mount of a folder inside the file system cannot be put back on its own.
      return "Volume could not be mounted again: " + what + " (it showed only " + entry.Root + ")";
    }
    const unsigned long flags = MountFlags(entry.MountOptions);
    const std::string data = FileSystemData(entry.SuperOptions);
    int result = ::mount(entry.Source.c_str(), entry.MountPoint.c_str(), entry.FsType.c_str(), flags, data.c_str());
    if (result != 0 && errno == EINVAL && !data.empty()) {
      // Some options are shown by the kernel but not taken back; the defaults still work.
      result = ::mount(entry.Source.c_str(), entry.MountPoint.c_str(), entry.FsType.c_str(), flags, nullptr);
    }
    if (result != 0) {
      return "Volume could not be mounted again: " + what + " (" + std::strerror(errno) + ")";
    }
    return "Volume mounted again: " + what;
  }

  UniqueFd claim_;
  std::string name_;
  DevNumbers numbers_;
  std::string sysfsRoot_;
  std::string procRoot_;
  std::vector<MountEntry> unmounted_;  // in the order they were unmounted
  std::vector<std::string> swappedOff_;
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

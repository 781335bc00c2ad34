#include "platform/linux/sysfs/linux_drive_prober.h"

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include "platform/linux/io/linux_block_device.h"
#include "platform/linux/sysfs/linux_storage_facts.h"
#include "platform/linux/sysfs/sysfs_disks.h"
#include "platform/linux/sysfs/sysfs_files.h"

namespace vellumar::platform {

LinuxDriveProber::LinuxDriveProber(std::string sysfsRoot, std::string devRoot)
    : sysfsRoot_(std::move(sysfsRoot)), devRoot_(std::move(devRoot)), disks_(ListCandidateDisks(sysfsRoot_)) {}

std::string LinuxDriveProber::DrivePath(std::uint32_t number) {
  if (number < disks_.size()) {
    return devRoot_ + "/" + disks_[number];
  }
  return "disk " + std::to_string(number);
}

std::unique_ptr<vellumar::StorageFacts> LinuxDriveProber::OpenDrive(std::uint32_t number) {
  if (number >= disks_.size()) {
    return nullptr;
  }
  const std::string& disk = disks_[number];
  const int fd = ::open((devRoot_ + "/" + disk).c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    return nullptr;
  }
  auto facts = std::make_unique<LinuxStorageFacts>(fd, true, sysfsRoot_, disk);
  // The node must be the disk sysfs lists under that name, or every fact below would be mixed.
  struct stat info {};
  unsigned major = 0;
  unsigned minor = 0;
  if (::fstat(fd, &info) != 0 || !S_ISBLK(info.st_mode) ||
      !ParseDevNumbers(ReadAttribute(sysfsRoot_ + "/block/" + disk + "/dev").value_or(""), major, minor) ||
      ::major(info.st_rdev) != major || ::minor(info.st_rdev) != minor) {
    return nullptr;
  }
  PinnedIdentity identity;
  identity.Rdev = info.st_rdev;
  std::uint64_t bytes = 0;
  if (::ioctl(fd, BLKGETSIZE64, &bytes) == 0) {
    identity.SizeBytes = static_cast<std::int64_t>(bytes);
  }
  identity.DiskSeq = ReadDiskSeq(fd);
  probed_[number] = identity;
  return facts;
}

std::optional<PinnedIdentity> LinuxDriveProber::Pin(const vellumar::TDeviceTable& entry) const {
  const auto found = probed_.find(entry.DeviceNumber);
  if (found == probed_.end()) {
    return std::nullopt;
  }
  PinnedIdentity identity = found->second;
  identity.Serial = entry.IdentifyData.SN;
  return identity;
}

}  // namespace vellumar::platform

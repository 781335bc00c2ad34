#pragma once

#include <sys/sysmacros.h>
#include <sys/types.h>

#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "devices/erase/volume_locking.h"

namespace vellumar::platform {

// Volumes are the block devices in use: mounted (/proc/self/mountinfo, matched by device
// number) or active as swap (/proc/swaps). A volume belongs to the candidate disk it is a
// partition of, the disk itself, or the disk under its device-mapper or md stack.
// The census names everything that uses a pinned disk. Locking unmounts every mount point of a
// volume (plainly, through the folder it is mounted in) or switches its swap off; the dismount
// claims the volume node exclusively, with its cache flushed and dropped, until release.
class LinuxVolumeSystem final : public vellumar::VolumeSystem {
 public:
  LinuxVolumeSystem(std::string sysfsRoot, std::string procRoot, std::string devRoot = "/dev")
      : sysfsRoot_(std::move(sysfsRoot)), procRoot_(std::move(procRoot)), devRoot_(std::move(devRoot)) {}

  // Drive numbers as they were when the drives were listed, so a disk that appears later cannot
  // shift them; without it the numbers follow the disks present at each query.
  void SetDiskOrder(std::vector<std::string> disks) { diskOrder_ = std::move(disks); }
  // Drive `deviceNumber` is the disk with device number `rdev` and no other: its volumes are
  // found from that number, never from a name looked up again. Once a disk is pinned, only
  // pinned disks have volumes.
  void PinDisk(std::uint32_t deviceNumber, dev_t rdev) { pinned_[deviceNumber] = {major(rdev), minor(rdev)}; }

  std::vector<std::string> GetLogicalDrivesList() override;
  vellumar::TVolumeDeviceNumber GetVolumeDeviceNumber(const std::string& name) override;
  std::unique_ptr<vellumar::VolumeHandle> OpenVolume(const std::string& name) override;
  vellumar::DriveCensus TakeCensus(std::int64_t deviceNumber) override;
  std::string RunningSystemVolume(std::int64_t deviceNumber) override;

 private:
  std::string sysfsRoot_;
  std::string procRoot_;
  std::string devRoot_;
  std::vector<std::string> diskOrder_;
  std::map<std::uint32_t, std::pair<unsigned, unsigned>> pinned_;
};

// Where the block device `major`:`minor` is in use right now.
struct VolumeUses {
  std::vector<std::string> MountPoints;  // in mountinfo order
  std::vector<std::string> SwapPaths;
};
VolumeUses FindVolumeUses(const std::string& sysfsRoot, const std::string& procRoot, unsigned major, unsigned minor);

}  // namespace vellumar::platform

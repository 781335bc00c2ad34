#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "devices/format_controller.h"
#include "devices/log_sinks.h"

namespace vellumar {

// The device type of a volume that lives on a disk.
inline constexpr std::uint32_t kFileDeviceDisk = 7;

// Where one volume lives: the drive number of its disk and its partition number there.
struct TVolumeDeviceNumber {
  bool Found = false;
  std::uint32_t DeviceType = 0;
  std::uint32_t DeviceNumber = 0;
  std::uint32_t PartitionNumber = 0;
};

// One opened volume. Destroying it releases whatever it still holds.
class VolumeHandle {
 public:
  virtual ~VolumeHandle() = default;
  // True when the volume is in use (open files) and would refuse to be taken away; asking
  // changes nothing.
  virtual bool IsBusy() { return false; }
  // Takes the volume away from its users (unmounts it, switches swap off).
  virtual bool Lock() = 0;
  // Detaches the file system for good: claims the volume for as long as this handle lives.
  virtual bool Dismount() = 0;
  // Allows I/O beyond the file system's bounds, where a platform needs that; may fail quietly.
  virtual void AllowExtendedIo() {}
  // Lets go of the claim taken by Dismount, keeping what Restore needs.
  virtual void ReleaseClaim() {}
  // Puts the volume back the way Lock found it (mounted again, swap on again); one line for
  // each mount or swap area given back or not.
  virtual std::vector<std::string> Restore() { return {}; }
};

// The system's volumes, as the locking and the partition scan see them.
class VolumeSystem {
 public:
  virtual ~VolumeSystem() = default;
  // The names of the volumes in use, in order, each once; empty when they cannot be listed.
  virtual std::vector<std::string> GetLogicalDrivesList() = 0;
  virtual TVolumeDeviceNumber GetVolumeDeviceNumber(const std::string& name) = 0;
  // nullptr when the volume cannot be opened.
  virtual std::unique_ptr<VolumeHandle> OpenVolume(const std::string& name) = 0;
  // The running system's mount on drive `deviceNumber` ("/ on /dev/sda2"), or empty.
  virtual std::string RunningSystemVolume(std::int64_t /*deviceNumber*/) { return {}; }
};

// The names of the volumes on drive `deviceNumber`, separated by single blanks.
std::string GetAssociatedPartitions(VolumeSystem& volumes, LogSinks& logs, std::int64_t deviceNumber);

// Locks and dismounts the volumes of a drive for a format run and keeps their handles.
class VolumeLocking final : public VolumeLocker {
 public:
  VolumeLocking(VolumeSystem& volumes, LogSinks& logs) : volumes_(volumes), logs_(logs) {}
  ~VolumeLocking() override { UnlockDeviceVolumes(); }
  VolumeLocking(const VolumeLocking&) = delete;
  VolumeLocking& operator=(const VolumeLocking&) = delete;

  // Checks every volume before taking any: a busy one refuses the run with nothing taken. A
  // volume that still fails after others were taken has them given back as they were.
  bool LockDeviceVolumes(std::int64_t deviceNumber) override;
  void ReleaseClaims() override;
  void RestoreDeviceVolumes() override;
  void UnlockDeviceVolumes() override;

  std::size_t LockedCount() const { return LockedVolumes.size(); }

 private:
  void Progress(const std::string& text);
  std::vector<std::string> VolumesOnDrive(std::int64_t deviceNumber);
  bool TakeVolume(std::unique_ptr<VolumeHandle> handle, const std::string& name);

  VolumeSystem& volumes_;
  LogSinks& logs_;
  std::vector<std::unique_ptr<VolumeHandle>> LockedVolumes;
};

}  // namespace vellumar

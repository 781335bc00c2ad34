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
  // Takes the volume away from its users (unmounts it, switches swap off).
  virtual bool Lock() = 0;
  // Detaches the file system for good: claims the volume for as long as this handle lives.
  virtual bool Dismount() = 0;
  // Allows I/O beyond the file system's bounds, where a platform needs that; may fail quietly.
  virtual void AllowExtendedIo() {}
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

  // Stops at the first volume that cannot be locked; the volumes locked before it stay held
  // until UnlockDeviceVolumes.
  bool LockDeviceVolumes(std::int64_t deviceNumber) override;
  void UnlockDeviceVolumes() override;

  std::size_t LockedCount() const { return LockedVolumes.size(); }

 private:
  void Progress(const std::string& text);

  VolumeSystem& volumes_;
  LogSinks& logs_;
  std::vector<std::unique_ptr<VolumeHandle>> LockedVolumes;
};

}  // namespace vellumar

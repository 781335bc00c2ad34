#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "devices/base/log_sinks.h"

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

// A volume the run will take from the system: a mount it unmounts, or a swap area it switches off.
struct VolumeTake {
  std::string Node;        // "/dev/sdb1"
  std::string MountPoint;  // empty for a swap area
};

// Everything that uses a drive, found before anything is changed. Users refuse the run; takes
// are what the run may take itself (plain idle mounts in our own namespace, swap partitions).
struct DriveCensus {
  struct User {
    std::string Text;  // "/dev/loop3 uses /dev/sdb1"
    // A process that only reads the drive: in the way of an erase, not of a read-back check.
    bool OnlyReads = false;
  };
  std::vector<User> Users;
  std::vector<VolumeTake> Takes;
};

// "unmount /mnt/data (/dev/sdb1)" or "switch off swap /dev/sdb3".
std::string VolumeTakeText(const VolumeTake& take);

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
  // Lets go of the claim taken by Dismount, keeping what Restore needs.
  virtual void ReleaseClaim() {}
  // What Lock took, one line each ("Unmounted /mnt/data (/dev/sdb1)").
  virtual std::vector<std::string> TakenLines() { return {}; }
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
  // Everything that uses drive `deviceNumber`; asking changes nothing.
  virtual DriveCensus TakeCensus(std::int64_t /*deviceNumber*/) { return {}; }
  // The running system's mount on drive `deviceNumber` ("/ on /dev/sda2"), or empty.
  virtual std::string RunningSystemVolume(std::int64_t /*deviceNumber*/) { return {}; }
};

// The names of the volumes on drive `deviceNumber`, separated by single blanks.
std::string GetAssociatedPartitions(VolumeSystem& volumes, LogSinks& logs, std::int64_t deviceNumber);

// "Found partition NAME   ..." for the partition scan's trail.
std::string VolumeFoundLine(const std::string& name, const TVolumeDeviceNumber& number);
// True when `number` places a volume on drive `deviceNumber`.
bool IsVolumeOnDrive(const TVolumeDeviceNumber& number, std::int64_t deviceNumber);
// Progress lines of the partition scan and the locking go to the format log in debug mode only.
void VolumeScanProgress(LogSinks& logs, const std::string& text);

}  // namespace vellumar

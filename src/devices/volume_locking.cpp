#include "devices/volume_locking.h"

#include "devices/text_format.h"

namespace vellumar {

namespace {

std::string FoundLine(const std::string& name, const TVolumeDeviceNumber& number) {
  return "Found partition " + name + "   " + "   DeviceType: " + std::to_string(number.DeviceType) +
         "   DeviceNumber: " + std::to_string(number.DeviceNumber) +
         "   Partition: " + std::to_string(number.PartitionNumber);
}

bool OnDrive(const TVolumeDeviceNumber& number, std::int64_t deviceNumber) {
  return number.Found && number.DeviceType == kFileDeviceDisk &&
         static_cast<std::int64_t>(number.DeviceNumber) == deviceNumber;
}

// Progress lines of the partition scan and the locking go to the format log in debug mode only.
void FormatLogProgress(LogSinks& logs, const std::string& text) {
  if (logs.DebugMode.load()) {
    logs.BenchMarkLog(text);
  }
}

}  // namespace

std::string GetAssociatedPartitions(VolumeSystem& volumes, LogSinks& logs, std::int64_t deviceNumber) {
  std::string text;
  FormatLogProgress(logs, "Looking for partitions...");
  const std::vector<std::string> names = volumes.GetLogicalDrivesList();
  FormatLogProgress(logs, "Done.");
  for (const std::string& name : names) {
    if (name.empty()) {
      continue;
    }
    FormatLogProgress(logs, "Getting device data...");
    const TVolumeDeviceNumber number = volumes.GetVolumeDeviceNumber(name);
    FormatLogProgress(logs, "Done.");
    if (number.Found) {
      logs.DebugLog(FoundLine(name, number));
    }
    if (OnDrive(number, deviceNumber)) {
      text += name + " ";
    }
  }
  return TrimText(text);
}

void VolumeLocking::Progress(const std::string& text) { FormatLogProgress(logs_, text); }

bool VolumeLocking::LockDeviceVolumes(std::int64_t deviceNumber) {
  Progress("Looking for partitions...");
  const std::vector<std::string> names = volumes_.GetLogicalDrivesList();
  Progress("Done.");
  for (const std::string& name : names) {
    if (name.empty()) {
      continue;
    }
    Progress("Getting device data...");
    const TVolumeDeviceNumber number = volumes_.GetVolumeDeviceNumber(name);
    Progress("Done.");
    if (number.Found) {
      Progress(FoundLine(name, number));
    }
    if (!OnDrive(number, deviceNumber)) {
      continue;
    }
    Progress("Locking " + name);
    std::unique_ptr<VolumeHandle> handle = volumes_.OpenVolume(name);
    if (!handle) {
      logs_.BenchMarkPlain("Invalid handle");
      return false;
    }
    Progress("Got handle!");
    Progress("Locking volume...");
    if (!handle->Lock()) {
      return false;
    }
    Progress("Done.");
    Progress("Dismounting volume...");
    if (!handle->Dismount()) {
      return false;
    }
    Progress("Done.");
    Progress("Extending I/O...");
    handle->AllowExtendedIo();
    Progress("Done.");
    LockedVolumes.push_back(std::move(handle));
  }
  return true;
}

void VolumeLocking::UnlockDeviceVolumes() {
  for (std::unique_ptr<VolumeHandle>& handle : LockedVolumes) {
    handle.reset();
  }
  LockedVolumes.clear();
}

}  // namespace vellumar

#include "devices/catalogue/volume_system.h"

#include "devices/base/text_format.h"

namespace vellumar {

std::string VolumeTakeText(const VolumeTake& take) {
  return take.MountPoint.empty() ? "switch off swap " + take.Node
                                 : "unmount " + take.MountPoint + " (" + take.Node + ")";
}

std::string VolumeFoundLine(const std::string& name, const TVolumeDeviceNumber& number) {
  return "Found partition " + name + "   " + "   DeviceType: " + std::to_string(number.DeviceType) +
         "   DeviceNumber: " + std::to_string(number.DeviceNumber) +
         "   Partition: " + std::to_string(number.PartitionNumber);
}

bool IsVolumeOnDrive(const TVolumeDeviceNumber& number, std::int64_t deviceNumber) {
  return number.Found && number.DeviceType == kFileDeviceDisk &&
         static_cast<std::int64_t>(number.DeviceNumber) == deviceNumber;
}

void VolumeScanProgress(LogSinks& logs, const std::string& text) {
  if (logs.DebugMode.load()) {
    logs.BenchMarkLog(text);
  }
}

std::string GetAssociatedPartitions(VolumeSystem& volumes, LogSinks& logs, std::int64_t deviceNumber) {
  std::string text;
  VolumeScanProgress(logs, "Looking for partitions...");
  const std::vector<std::string> names = volumes.GetLogicalDrivesList();
  VolumeScanProgress(logs, "Done.");
  for (const std::string& name : names) {
    if (name.empty()) {
      continue;
    }
    VolumeScanProgress(logs, "Getting device data...");
    const TVolumeDeviceNumber number = volumes.GetVolumeDeviceNumber(name);
    VolumeScanProgress(logs, "Done.");
    if (number.Found) {
      logs.DebugLog(VolumeFoundLine(name, number));
    }
    if (IsVolumeOnDrive(number, deviceNumber)) {
      text += name + " ";
    }
  }
  return TrimText(text);
}

}  // namespace vellumar

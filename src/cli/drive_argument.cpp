#include "cli/drive_argument.h"

#include <cerrno>
#include <cstring>

namespace vellumar::cli {

bool ResolveDrive(const std::string& argument, CliEnvironment& /*env*/, ResolvedDrive& drive, std::string& error) {
  vellumar::platform::DeviceGeometry geometry;
  if (!vellumar::platform::ReadGeometry(argument, geometry)) {
    error = std::strerror(errno);
    return false;
  }
  vellumar::TDeviceTable entry;
  entry.DevicePath = argument;
  entry.DeviceNumber = 0;
  vellumar::TIdentifyDeviceData& id = entry.IdentifyData;
  id.SectorSize = geometry.LogicalSectorSize < 512 ? 512 : geometry.LogicalSectorSize;
  id.LBA = geometry.LogicalSectorSize < 512 ? 0 : geometry.SizeBytes / id.SectorSize;
  id.Model = "Storage Device";
  id.FW = "0000";
  id.SN = "000000";
  if (geometry.IsRegularFile) {
    id.BusType = vellumar::kBusImage;
    entry.IsFile = true;
    entry.FilePath = argument;
    entry.FileSize = geometry.SizeBytes;
  } else {
    id.BusType = vellumar::kBusUnknown;
  }
  drive.Entry = entry;
  drive.Geometry = geometry;
  return true;
}

}  // namespace vellumar::cli

#include "cli/drive_argument.h"

#include <fcntl.h>
#include <sys/sysmacros.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>

#include "cli/drive_catalogue.h"
#include "devices/base/text_format.h"
#include "devices/catalogue/storage_identification.h"
#include "platform/linux/host/system_clock.h"
#include "platform/linux/sysfs/linux_storage_facts.h"
#include "platform/linux/sysfs/sysfs_disks.h"
#include "platform/linux/sysfs/sysfs_files.h"
#include "platform/linux/volumes/linux_volume_system.h"

namespace vellumar::cli {

namespace {

void SetGeometryFromPin(ResolvedDrive& drive) {
  drive.Geometry.IsRegularFile = drive.Pin.IsFile;
  drive.Geometry.Rdev = drive.Pin.Rdev;
  drive.Geometry.SizeBytes = drive.Pin.SizeBytes;
}

bool ResolveRow(const std::string& argument, CliEnvironment& env, vellumar::LogSinks& logs, ResolvedDrive& drive,
                std::string& error) {
  CliCatalogue loaded = LoadCatalogue(env, logs, {});
  if (!loaded.Result.Ok) {
    error = loaded.Result.FatalMessage;
    return false;
  }
  // Digits beyond any row count are no row either; stoll would overflow on them.
  const std::int64_t row = argument.size() <= 3 ? std::stoll(argument) : 0;
  if (row < 1 || row > loaded.Catalogue.DeviceCount) {
    error = "there is no row " + argument + " in the list (" + loaded.Result.StatusText + ")";
    return false;
  }
  drive.Entry = loaded.Catalogue.DeviceTable(row);
  const std::optional<vellumar::platform::PinnedIdentity> pin = loaded.Prober->Pin(drive.Entry);
  if (!pin) {
    error = "the drive of row " + argument + " was not probed";
    return false;
  }
  drive.Pin = *pin;
  drive.DiskOrder = loaded.Prober->Disks();
  SetGeometryFromPin(drive);
  drive.Geometry.LogicalSectorSize = drive.Entry.IdentifyData.SectorSize;
  return true;
}

bool ResolveImage(const std::string& argument, ResolvedDrive& drive) {
  vellumar::TDeviceTable entry;
  entry.DevicePath = argument;
  vellumar::TIdentifyDeviceData& id = entry.IdentifyData;
  id.SectorSize = 512;
  id.LBA = drive.Pin.SizeBytes / id.SectorSize;
  id.Model = "Storage Device";
  id.FW = "0000";
  id.SN = "000000";
  id.BusType = vellumar::kBusImage;
  entry.IsFile = true;
  entry.FilePath = argument;
  entry.FileSize = drive.Pin.SizeBytes;
  drive.Entry = entry;
  drive.Pin.Serial = id.SN;
  SetGeometryFromPin(drive);
  drive.Geometry.LogicalSectorSize = id.SectorSize;
  return true;
}

bool ResolveNode(const std::string& argument, CliEnvironment& env, vellumar::LogSinks& logs, ResolvedDrive& drive,
                 std::string& error, bool readOnly) {
  const std::vector<std::string> disks = vellumar::platform::ListCandidateDisks(env.SysfsRoot, readOnly);
  const std::optional<std::string> name =
      vellumar::platform::BlockNameOf(env.SysfsRoot, major(drive.Pin.Rdev), minor(drive.Pin.Rdev));
  const auto found = name ? std::find(disks.begin(), disks.end(), *name) : disks.end();
  if (found == disks.end()) {
    error = "not a drive that 'vellumar-cli list' shows (a whole, writable disk)";
    return false;
  }
  const int fd = ::open(argument.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    error = std::strerror(errno);
    return false;
  }
  vellumar::platform::LinuxStorageFacts facts(fd, true, env.SysfsRoot, *name);
  vellumar::TDeviceTable entry;
  std::string fatal;
  if (vellumar::IdentifyStorageDevice(facts, entry.IdentifyData, logs, fatal) != 0) {
    error = fatal.empty() ? "the drive could not be identified" : fatal;
    return false;
  }
  entry.DevicePath = argument;
  entry.DeviceNumber = static_cast<std::uint32_t>(found - disks.begin());
  vellumar::platform::LinuxVolumeSystem volumes(env.SysfsRoot, env.ProcRoot, env.DevRoot);
  entry.AssociatedPartitions = vellumar::GetAssociatedPartitions(volumes, logs, entry.DeviceNumber);
  entry.SystemVolume = volumes.RunningSystemVolume(entry.DeviceNumber);
  drive.Entry = entry;
  drive.DiskOrder = disks;
  drive.Pin.Serial = entry.IdentifyData.SN;
  SetGeometryFromPin(drive);
  drive.Geometry.LogicalSectorSize = entry.IdentifyData.SectorSize;
  return true;
}

}  // namespace

bool IsRowNumber(const std::string& argument) {
  return !argument.empty() &&
         std::all_of(argument.begin(), argument.end(), [](char c) { return c >= '0' && c <= '9'; });
}

std::string SerialMismatch(const ResolvedDrive& drive, const std::string& serial) {
  // Drives pad their serial number with blanks, and a pasted one may carry them too: blanks at
  // either end never tell two drives apart.
  const std::string wanted = vellumar::TrimText(serial);
  if (wanted.empty()) {
    return {};
  }
  const std::string reported = vellumar::TrimText(drive.Entry.IdentifyData.SN);
  if (reported == wanted) {
    return {};
  }
  return "refusing: the drive reports serial number '" + reported + "', not '" + wanted + "'";
}

bool ResolveDrive(const std::string& argument, CliEnvironment& env, ResolvedDrive& drive, std::string& error,
                  bool readOnly) {
  vellumar::platform::SystemClock clock;
  vellumar::LogSinks logs(clock, vellumar::LocaleSettings{});
  drive = ResolvedDrive{};
  if (IsRowNumber(argument)) {
    return ResolveRow(argument, env, logs, drive, error);
  }
  if (!vellumar::platform::ReadIdentity(argument, drive.Pin, error)) {
    return false;
  }
  if (drive.Pin.IsFile) {
    // From here on the file is reached by its real path, never through a link again.
    std::error_code failure;
    const std::string real = std::filesystem::canonical(argument, failure).string();
    if (failure || !vellumar::platform::ReadIdentity(real, drive.Pin, error, true) || !drive.Pin.IsFile) {
      error = error.empty() ? "the image file moved while it was named" : error;
      return false;
    }
    return ResolveImage(real, drive);
  }
  return ResolveNode(argument, env, logs, drive, error, readOnly);
}

std::unique_ptr<vellumar::platform::DriveHandle> OpenResolvedDrive(const ResolvedDrive& drive, CliEnvironment& env,
                                                                   std::string& error) {
  return vellumar::platform::DriveHandle::Open(drive.Entry.DevicePath, drive.Pin, env.SysfsRoot, error);
}

}  // namespace vellumar::cli

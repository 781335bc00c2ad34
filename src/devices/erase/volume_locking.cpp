#include "devices/erase/volume_locking.h"

#include "devices/base/text_format.h"

namespace vellumar {

void VolumeLocking::Progress(const std::string& text) { VolumeScanProgress(logs_, text); }

std::vector<std::string> VolumeLocking::VolumesOnDrive(std::int64_t deviceNumber) {
  std::vector<std::string> onDrive;
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
      Progress(VolumeFoundLine(name, number));
    }
    if (IsVolumeOnDrive(number, deviceNumber)) {
      onDrive.push_back(name);
    }
  }
  return onDrive;
}

bool VolumeLocking::TakeVolume(std::unique_ptr<VolumeHandle> handle, const std::string& name) {
  Progress("Locking " + name);
  Progress("Got handle!");
  Progress("Locking volume...");
  // Kept even when it fails: a volume with several mount points may have lost some already.
  VolumeHandle& volume = *handle;
  LockedVolumes.push_back(std::move(handle));
  if (!volume.Lock()) {
    return false;
  }
  Progress("Done.");
  Progress("Dismounting volume...");
  if (!volume.Dismount()) {
    return false;
  }
  Progress("Done.");
  Progress("Extending I/O...");
  volume.AllowExtendedIo();
  Progress("Done.");
  return true;
}

std::vector<std::string> VolumeLocking::PlannedTakes(std::int64_t deviceNumber) {
  std::vector<std::string> lines;
  for (const VolumeTake& take : volumes_.TakeCensus(deviceNumber).Takes) {
    lines.push_back(VolumeTakeText(take));
  }
  return lines;
}

bool RefuseUsers(const DriveCensus& census, LogSinks& logs) {
  for (const DriveCensus::User& user : census.Users) {
    logs.BenchMarkLog("In use: " + user.Text);
  }
  return !census.Users.empty();
}

bool VolumeLocking::LockDeviceVolumes(std::int64_t deviceNumber) {
  // Everything that uses the drive is known before the first volume is taken: anything but
  // plain idle mounts and swap areas refuses the run while all of them are still in place.
  if (RefuseUsers(volumes_.TakeCensus(deviceNumber), logs_)) {
    return false;
  }
  const std::vector<std::string> names = VolumesOnDrive(deviceNumber);
  std::vector<std::unique_ptr<VolumeHandle>> handles;
  for (const std::string& name : names) {
    std::unique_ptr<VolumeHandle> handle = volumes_.OpenVolume(name);
    if (!handle) {
      logs_.BenchMarkPlain("Invalid handle");
      return false;
    }
    handles.push_back(std::move(handle));
  }
  for (std::size_t i = 0; i < handles.size(); ++i) {
    if (!TakeVolume(std::move(handles[i]), names[i])) {
      // The system changed since the census: what was taken goes back.
      RestoreDeviceVolumes();
      return false;
    }
  }
  for (const std::unique_ptr<VolumeHandle>& handle : LockedVolumes) {
    for (const std::string& line : handle->TakenLines()) {
      logs_.BenchMarkLog(line);
    }
  }
  return true;
}

void VolumeLocking::ReleaseClaims() {
  for (std::unique_ptr<VolumeHandle>& handle : LockedVolumes) {
    handle->ReleaseClaim();
  }
}

void VolumeLocking::RestoreDeviceVolumes() {
  // Undone in the reverse order of taking.
  for (auto handle = LockedVolumes.rbegin(); handle != LockedVolumes.rend(); ++handle) {
    for (const std::string& line : (*handle)->Restore()) {
      logs_.BenchMarkLog(line);
    }
  }
  UnlockDeviceVolumes();
}

void VolumeLocking::UnlockDeviceVolumes() {
  for (std::unique_ptr<VolumeHandle>& handle : LockedVolumes) {
    handle.reset();
  }
  LockedVolumes.clear();
}

}  // namespace vellumar

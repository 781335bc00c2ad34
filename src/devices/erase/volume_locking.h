#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "devices/base/log_sinks.h"
#include "devices/catalogue/volume_system.h"
#include "devices/erase/format_controller.h"

namespace vellumar {

// Locks and dismounts the volumes of a drive for a format run and keeps their handles.
class VolumeLocking final : public VolumeLocker {
 public:
  VolumeLocking(VolumeSystem& volumes, LogSinks& logs) : volumes_(volumes), logs_(logs) {}
  ~VolumeLocking() override { UnlockDeviceVolumes(); }
  VolumeLocking(const VolumeLocking&) = delete;
  VolumeLocking& operator=(const VolumeLocking&) = delete;

  // Takes the drive's census first: anything that uses the drive other than plain idle mounts
  // and swap areas refuses the run with nothing taken ("In use: ..." lines). A volume that
  // still fails after others were taken has them given back as they were.
  bool LockDeviceVolumes(std::int64_t deviceNumber) override;
  std::vector<std::string> PlannedTakes(std::int64_t deviceNumber) override;
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

// Writes one "In use: ..." line for each user of the census; true when there is any.
bool RefuseUsers(const DriveCensus& census, LogSinks& logs);

// The guard of a target that carries no volumes of its own (an image file): the census alone,
// which refuses while anything else uses the file.
class CensusGuard final : public VolumeLocker {
 public:
  CensusGuard(std::function<DriveCensus()> census, LogSinks& logs) : census_(std::move(census)), logs_(logs) {}
  bool LockDeviceVolumes(std::int64_t /*deviceNumber*/) override { return !RefuseUsers(census_(), logs_); }
  void UnlockDeviceVolumes() override {}

 private:
  std::function<DriveCensus()> census_;
  LogSinks& logs_;
};

}  // namespace vellumar

#pragma once

#include <cstdint>
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

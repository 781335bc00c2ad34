#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "devices/base/block_device.h"
#include "devices/base/drive_record.h"
#include "devices/base/log_sinks.h"
#include "devices/erase/format_engine.h"

namespace vellumar {

// Takes the chosen drive's volumes away from the system for a run and gives them back.
class VolumeLocker {
 public:
  virtual ~VolumeLocker() = default;
  // True when every volume of the drive was unmounted and claimed (also when it has none).
  // Nothing is taken while any volume is busy; when a volume fails after others were taken,
  // those are given back as they were.
  virtual bool LockDeviceVolumes(std::int64_t deviceNumber) = 0;
  // What LockDeviceVolumes would take from the system, one line each, for the confirmation.
  virtual std::vector<std::string> PlannedTakes(std::int64_t /*deviceNumber*/) { return {}; }
  // Lets go of the volumes' claims (the disk's own exclusive handle takes over their guard),
  // keeping what is needed to give the volumes back.
  virtual void ReleaseClaims() {}
  // Gives back what LockDeviceVolumes took, for a run that then wrote nothing.
  virtual void RestoreDeviceVolumes() {}
  // Releases every claim taken by LockDeviceVolumes, in the order taken.
  virtual void UnlockDeviceVolumes() = 0;
};

// A volume locker for targets that cannot carry volumes (image files).
class NoVolumes final : public VolumeLocker {
 public:
  bool LockDeviceVolumes(std::int64_t /*deviceNumber*/) override { return true; }
  void UnlockDeviceVolumes() override {}
};

// The drive the run writes to. The run holds the device exclusively, so the kernel refuses it
// while anything else still uses the disk.
class FormatTarget {
 public:
  virtual ~FormatTarget() = default;
  // The line that refuses a disk the running system lives on; empty for any other target.
  virtual std::string RunningSystemRefusal() { return {}; }
  // Empty while the target is still the device that was confirmed; otherwise why it is not.
  virtual std::string CheckIdentity() { return {}; }
  // Claims the devices stacked under the target (the disk behind a loop device) for the whole
  // run; false when one of them is in use.
  virtual bool HoldStackedDevices() { return true; }
  virtual void ReleaseStackedDevices() {}
  // The run's exclusive handle, or nullptr when the disk is still claimed by someone else.
  virtual std::unique_ptr<BlockDevice> OpenExclusive() = 0;
  // Asks the system to re-read the partition table. Without an open handle (the run never got
  // one) the target opens the pinned device itself. Why the re-read failed; empty otherwise.
  virtual std::string RereadPartitions(BlockDevice* openDevice) = 0;
  // Why the disk could not be opened for the run, when that was not because it is in use.
  virtual std::string OpenFailure() const { return {}; }
};

// The window's controls around a run; the CLI leaves them as no-ops.
class RunControls {
 public:
  virtual ~RunControls() = default;
  virtual void SetControlsEnabled(bool /*enabled*/) {}
  virtual void SetStopEnabled(bool /*enabled*/) {}
  virtual void SetBarPaused(bool /*paused*/) {}
};

struct ConfirmationRequest {
  std::string Title;
  std::string MainInstruction;
  std::string Content;
  int Icon = 0;
  int Buttons = 0;
};
inline constexpr int kDialogYes = 6;
inline constexpr int kDialogCancel = 2;

// The confirmation the run asks before anything happens; kDialogYes goes on.
ConfirmationRequest FormatConfirmation(const std::string& diskName);
// The same, with a line naming the device node and the serial number after the caption, so
// two drives of the same model can be told apart at the last step.
ConfirmationRequest FormatConfirmation(const std::string& diskName, const TDeviceTable& drive);
// That line: "/dev/sdb   Serial number: WD-WCAV12345678".
std::string NodeAndSerialLine(const TDeviceTable& drive);

struct RunRequest {
  bool QuickWipe = false;
  TDeviceTable Drive;
  std::string DiskName;
  // Lines the header carries after the capacity (sectors the drive hides from the run).
  std::vector<std::string> HeaderWarnings = {};
  // The erase itself; empty runs the zero fill. A firmware erase hands in the drive's own command.
  std::function<FormatResult(BlockDevice&, FormatContext&)> Erase = nullptr;
  // The header's title and the line the erase starts with.
  std::string Title = "Low level format: ";
  std::string StartLine = "Formatting... ";
  // A command running in the drive's firmware cannot be stopped from here.
  bool Stoppable = true;
};

struct RunReport {
  // Why the run was refused before it wrote anything (the running system's disk, a drive that
  // changed since it was confirmed); empty otherwise.
  std::string Refusal;
  bool Confirmed = false;
  bool Locked = false;
  bool WorkerRan = false;
  FormatResult Result;
};

struct RunServices {
  LogSinks& Logs;
  Clock& WallClock;
  VolumeLocker& Volumes;
  FormatTarget& Target;
  std::atomic<bool>& StopRequested;
  FormatDisplay& Display;
  FormatObserver& Observer;
  RunControls& Controls;
  std::function<int(const ConfirmationRequest&)> Confirm;
  // Optional: runs on the run's handle after the worker's final line of a completed run, before
  // the partition table is re-read (the read-back check).
  std::function<void(BlockDevice&, const FormatResult&)> AfterCompletedRun = nullptr;
};

extern const char* const kLockFailureLine;

// The line that refuses a disk holding the running system's `volume` ("/ on /dev/sda2").
std::string RunningSystemRefusalLine(const std::string& volume);

// One format run: confirm, header, lock, zero-fill, re-read the layout, release. The release
// also runs when the worker throws; the exception then goes on to the caller.
RunReport RunLowLevelFormat(const RunRequest& request, RunServices& services);

}  // namespace vellumar

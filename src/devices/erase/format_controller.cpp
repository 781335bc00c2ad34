#include "devices/erase/format_controller.h"

#include "devices/base/product.h"
#include "devices/base/text_format.h"

namespace vellumar {

const char* const kLockFailureLine =
    "Unable to lock device. Make sure you do not have open files on this device and try again. ";

std::string RunningSystemRefusalLine(const std::string& volume) {
  return "This device holds the running system (" + volume + "); it cannot be formatted while the system runs from it.";
}

ConfirmationRequest FormatConfirmation(const std::string& diskName) {
  ConfirmationRequest request;
  request.Title = "Warning";
  request.MainInstruction = "All data on the selected device will be lost";
  request.Content =
      "Are you absolutely sure you want to irreversibly destroy all data on this device?\r\n\r\n" + diskName;
  request.Icon = 84;
  request.Buttons = 10;
  return request;
}

std::string NodeAndSerialLine(const TDeviceTable& drive) {
  const std::string serial = TrimText(drive.IdentifyData.SN);
  return drive.DevicePath + "   Serial number: " + (serial.empty() ? std::string("unknown") : serial);
}

ConfirmationRequest FormatConfirmation(const std::string& diskName, const TDeviceTable& drive) {
  ConfirmationRequest request = FormatConfirmation(diskName);
  request.Content += "\r\n" + NodeAndSerialLine(drive);
  return request;
}

namespace {

void WriteHeader(const RunRequest& request, LogSinks& logs) {
  logs.BenchMarkLog(" ");
  logs.BenchMarkLog("=================================================");
  logs.BenchMarkLog(std::string(kProductName) + "; " + std::string(kProductWebAddress));
  logs.BenchMarkLog(request.Title + request.DiskName);
  logs.BenchMarkLog("Device capacity: " + GroupThousands(request.Drive.IdentifyData.LBA) + " sectors");
  for (const std::string& warning : request.HeaderWarnings) {
    logs.BenchMarkLog(warning);
  }
  logs.BenchMarkLog("Locking device... ");
}

}  // namespace

namespace {

// What a run took that must be given back however it ends.
class RunRelease {
 public:
  explicit RunRelease(RunServices& services) : services_(services) {}

  // Steps that follow the worker whatever its outcome, also after a lock failure.
  void Release() {
    if (released_) {
      return;
    }
    released_ = true;
    const bool wrote = device != nullptr;
    const std::string failure = services_.Target.RereadPartitions(device.get());
    device.reset();
    if (wrote && !failure.empty()) {
      // The user is told to make new partitions: say why the old ones still show.
      services_.Logs.BenchMarkLog("Warning: the partition table could not be re-read (" + failure +
                                  "); the old partitions stay visible until the disk is re-attached.");
    }
    services_.Volumes.UnlockDeviceVolumes();
    services_.Target.ReleaseStackedDevices();
  }

  std::unique_ptr<BlockDevice> device;

 private:
  RunServices& services_;
  bool released_ = false;
};

// Takes the drive for the run: the devices under it, then its volumes, then the disk itself.
// Nothing is unmounted while a device under it is in use, and a run that cannot open the disk
// gives its volumes back.
std::unique_ptr<BlockDevice> TakeDrive(const RunRequest& request, RunServices& services) {
  if (!services.Target.HoldStackedDevices() || !services.Volumes.LockDeviceVolumes(request.Drive.DeviceNumber)) {
    return nullptr;
  }
  // The last guard: anything still holding the disk (a holder we did not find) makes this fail.
  std::unique_ptr<BlockDevice> device = services.Target.OpenExclusive();
  if (!device) {
    services.Volumes.RestoreDeviceVolumes();
  }
  return device;
}

void RunWorker(const RunRequest& request, RunServices& services, BlockDevice& device, RunReport& report) {
  services.Controls.SetStopEnabled(request.Stoppable);
  services.Logs.BenchMarkLog(request.StartLine);
  services.Controls.SetBarPaused(false);
  FormatContext context{device,           services.WallClock, services.Logs, services.StopRequested,
                        services.Display, services.Observer};
  context.DeviceBytes = request.Drive.IsFile ? request.Drive.FileSize : 0;
  try {
    report.Result = request.Erase ? request.Erase(device, context)
                                  : FormatDevice(request.QuickWipe, request.Drive.IdentifyData, context);
    // The read-back check comes right after the worker's final line, before the re-read.
    if (services.AfterCompletedRun && report.Result.Outcome == FormatOutcome::Completed) {
      services.AfterCompletedRun(device, report.Result);
    }
  } catch (...) {
    services.Controls.SetBarPaused(true);
    services.Controls.SetStopEnabled(false);
    services.StopRequested.store(false);
    throw;
  }
  services.Controls.SetBarPaused(true);
  report.WorkerRan = true;
  services.Controls.SetStopEnabled(false);
}

}  // namespace

RunReport RunLowLevelFormat(const RunRequest& request, RunServices& services) {
  RunReport report;
  // The running system's disk is refused before anyone is asked to confirm its erasure.
  report.Refusal = services.Target.RunningSystemRefusal();
  if (!report.Refusal.empty()) {
    services.Logs.BenchMarkLog(report.Refusal);
    return report;
  }
  if (services.Confirm && services.Confirm(FormatConfirmation(request.DiskName, request.Drive)) != kDialogYes) {
    return report;
  }
  report.Confirmed = true;
  services.Controls.SetControlsEnabled(false);
  WriteHeader(request, services.Logs);

  RunRelease release(services);
  try {
    // Checked again now: the disk may have been swapped while the confirmation was open.
    const std::string changed = services.Target.CheckIdentity();
    if (!changed.empty()) {
      report.Refusal = "Error opening device: " + changed;
      services.Logs.BenchMarkLog(report.Refusal);
    } else {
      release.device = TakeDrive(request, services);
    }
    report.Locked = release.device != nullptr;
    if (!report.Locked && changed.empty()) {
      services.Logs.BenchMarkLog(kLockFailureLine);
    } else if (report.Locked) {
      RunWorker(request, services, *release.device, report);
    }
  } catch (...) {
    release.Release();
    services.Controls.SetControlsEnabled(true);
    throw;
  }
  release.Release();
  if (report.WorkerRan) {
    services.Logs.BenchMarkLog("");
    services.Logs.BenchMarkLog("Remember to create new partitions.");
  }
  services.Controls.SetControlsEnabled(true);
  return report;
}

}  // namespace vellumar

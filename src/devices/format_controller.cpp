#include "devices/format_controller.h"

#include "devices/product.h"
#include "devices/text_format.h"

namespace vellumar {

const char* const kLockFailureLine =
    "Unable to lock device. Make sure you do not have open files on this device and try again. ";

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

namespace {

void WriteHeader(const RunRequest& request, LogSinks& logs) {
  logs.BenchMarkLog(" ");
  logs.BenchMarkLog("=================================================");
  logs.BenchMarkLog(std::string(kProductName) + "; " + std::string(kProductWebAddress));
  logs.BenchMarkLog("Low level format: " + request.DiskName);
  logs.BenchMarkLog("Device capacity: " + GroupThousands(request.Drive.IdentifyData.LBA) + " sectors");
  for (const std::string& warning : request.HeaderWarnings) {
    logs.BenchMarkLog(warning);
  }
  logs.BenchMarkLog("Locking device... ");
}

}  // namespace

RunReport RunLowLevelFormat(const RunRequest& request, RunServices& services) {
  RunReport report;
  if (services.Confirm && services.Confirm(FormatConfirmation(request.DiskName)) != kDialogYes) {
    return report;
  }
  report.Confirmed = true;
  services.Controls.SetControlsEnabled(false);
  WriteHeader(request, services.Logs);

  std::unique_ptr<BlockDevice> device;
  report.Locked = services.Volumes.LockDeviceVolumes(request.Drive.DeviceNumber);
  if (report.Locked) {
    // The last guard: anything still holding the disk (a holder we did not find) makes this fail.
    device = services.Target.OpenExclusive();
    report.Locked = device != nullptr;
  }
  if (!report.Locked) {
    services.Logs.BenchMarkLog(kLockFailureLine);
  } else {
    services.Controls.SetStopEnabled(true);
    services.Logs.BenchMarkLog("Formatting... ");
    services.Controls.SetBarPaused(false);
    FormatContext context{*device,          services.WallClock, services.Logs, services.StopRequested,
                          services.Display, services.Observer};
    report.Result = FormatDevice(request.QuickWipe, request.Drive.IdentifyData, context);
    if (services.AfterCompletedRun && report.Result.Outcome == FormatOutcome::Completed) {
      services.AfterCompletedRun(*device, report.Result);
    }
    services.Controls.SetBarPaused(true);
    report.WorkerRan = true;
    services.Controls.SetStopEnabled(false);
  }

  services.Target.RereadPartitions(device.get());
  device.reset();
  services.Volumes.UnlockDeviceVolumes();
  if (report.WorkerRan) {
    services.Logs.BenchMarkLog("");
    services.Logs.BenchMarkLog("Remember to create new partitions.");
  }
  services.Controls.SetControlsEnabled(true);
  return report;
}

}  // namespace vellumar

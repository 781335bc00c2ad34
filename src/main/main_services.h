#pragma once

#include <functional>
#include <memory>
#include <string>

#include "devices/base/drive_record.h"
#include "devices/base/log_sinks.h"
#include "devices/catalogue/drive_watch.h"
#include "devices/catalogue/enumeration.h"
#include "devices/certificate/certificate.h"
#include "devices/erase/format_controller.h"
#include "ops/erasure_job.h"

namespace vellumar::desktop {

// What the main window asks of the system. The program plugs in the Linux implementation,
// the tests a scripted one; the window itself never touches a device.
class MainServices {
 public:
  virtual ~MainServices() = default;

  // The start-up probe: reads the debug switch, fills the catalogue, writes the identification
  // trail to the debug log and the warning lines to the format log. `onDebugModeActivated` runs
  // as soon as debug mode is on, so the debug window can show the probe as it happens. Called
  // again, on another thread, while the chooser follows drives that come and go; the services
  // then take their drive numbers from the new probe.
  virtual vellumar::EnumerationResult EnumerateDevices(vellumar::DeviceCatalogue& catalogue, vellumar::LogSinks& logs,
                                                       const std::function<void()>& onDebugModeActivated) = 0;

  // Opens the chosen drive for the reports and keeps it open until CloseDevice: read-write but
  // shared, so a disk with a mounted partition still shows its details. Empty on success,
  // otherwise why it failed (also when the node no longer names the listed drive).
  virtual std::string OpenDevice(const vellumar::TDeviceTable& drive) = 0;
  virtual void CloseDevice() = 0;

  virtual void ShowDetailsReport(const vellumar::TDeviceTable& drive, vellumar::LogSinks& logs) = 0;
  virtual void ShowSmartReport(const vellumar::TDeviceTable& drive, vellumar::LogSinks& logs) = 0;

  // What one erasure of the open drive needs; asked on the window's thread before the run
  // starts, then used only by the run's own thread.
  // What the drive offers for a firmware erase: read-only commands, on the report's thread.
  virtual vellumar::FirmwareFacts ReadFirmwareFacts(const vellumar::TDeviceTable& /*drive*/) { return {}; }
  virtual vellumar::ops::ErasureParts MakeRunParts(const vellumar::TDeviceTable& drive, vellumar::LogSinks& logs) = 0;

  // Tells when drives come and go; nullptr where nothing can tell. The services keep it.
  virtual vellumar::DriveWatch* Watch() { return nullptr; }

  // The folder the report's save dialog starts in: the Documents folder of the person at the
  // desk (the invoking user when root runs for someone); empty leaves the choice to the window.
  virtual std::string ReportFolder() { return {}; }

  // Where removable media (USB sticks, card readers) are mounted: the save dialog lists them first.
  virtual std::vector<std::string> RemovableMediaFolders() { return {}; }

  // Writes a run's certificate as `pdfPath` and the same name ending in .json, as the person at
  // the desk. Returns the PDF's path as written (a name that is taken gets "-2" and so on), or
  // empty with `error` set.
  virtual std::string SaveCertificate(const vellumar::ErasureCertificate& certificate, const std::string& pdfPath,
                                      std::string& error) = 0;
};

}  // namespace vellumar::desktop

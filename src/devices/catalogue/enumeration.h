#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "devices/base/drive_record.h"
#include "devices/base/log_sinks.h"
#include "devices/catalogue/platform_info.h"
#include "devices/catalogue/storage_identification.h"
#include "devices/catalogue/volume_system.h"

namespace vellumar {

// Opens drives by number for identification.
class DriveProber {
 public:
  virtual ~DriveProber() = default;
  // The path of drive `number`, as logged and kept in the catalogue.
  virtual std::string DrivePath(std::uint32_t number) = 0;
  // The drive opened for reading, shared with everyone; nullptr when it does not open.
  // The handle closes when the result is destroyed.
  virtual std::unique_ptr<StorageFacts> OpenDrive(std::uint32_t number) = 0;
};

struct EnumerationServices {
  LogSinks& Logs;
  DriveProber& Drives;
  VolumeSystem& Volumes;
  PlatformInfo& Platform;
  // Called when debug mode is switched on, so a front end can show the debug log at once.
  std::function<void()> OnDebugModeActivated;
};

struct EnumerationResult {
  // False when the program cannot go on; FatalMessage is then the text to show with caption "Error".
  bool Ok = true;
  std::string FatalMessage;
  // The chooser's status text.
  std::string StatusText;
};

inline constexpr std::uint32_t kLastDriveNumber = 255;

// True when the first parameter after the program name asks for debug mode.
bool IsDebugSwitch(const std::vector<std::string>& parameters);

// The start-up probe: reads the debug switch, logs the program and platform lines, checks that
// device information is reachable, then identifies drives 0 to 255 (stopping at 15 catalogued
// drives) with their volumes and writes the three warning lines to the format log.
EnumerationResult EnumerateDevices(const std::vector<std::string>& parameters, DeviceCatalogue& catalogue,
                                   EnumerationServices& services);

}  // namespace vellumar

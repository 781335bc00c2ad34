#include "devices/catalogue/enumeration.h"

#include "devices/base/product.h"

namespace vellumar {

namespace {

std::string LowerAscii(std::string text) {
  for (char& c : text) {
    if (c >= 'A' && c <= 'Z') {
      c = static_cast<char>(c - 'A' + 'a');
    }
  }
  return text;
}

void WriteWarningLines(LogSinks& logs) {
  logs.BenchMarkLog(" * * * * *  WARNING!!! * * * * * ");
  logs.BenchMarkLog("DURING THE LOW LEVEL FORMAT PROCESS ");
  logs.BenchMarkLog("ALL DATA WILL BE FULLY and IRREVERSIBLY ERASED! ");
}

}  // namespace

bool IsDebugSwitch(const std::vector<std::string>& parameters) {
  return !parameters.empty() && LowerAscii(parameters.front()) == "--debug";
}

EnumerationResult EnumerateDevices(const std::vector<std::string>& parameters, DeviceCatalogue& catalogue,
                                   EnumerationServices& services) {
  EnumerationResult result;
  LogSinks& logs = services.Logs;
  if (IsDebugSwitch(parameters)) {
    logs.DebugMode = true;
    logs.DebugLog("Debug mode activated");
    if (services.OnDebugModeActivated) {
      services.OnDebugModeActivated();
    }
  }
  catalogue.DeviceCount = 0;
  logs.DebugLog("Program Path: " + services.Platform.ProgramPath());
  logs.DebugLog("Platform: " + services.Platform.PlatformDescription());
  logs.DebugLog("Program Version: " + std::string(kProductName));

  if (!services.Platform.DeviceInformationReachable()) {
    result.Ok = false;
    result.FatalMessage = "Error #01704";
    return result;
  }

  logs.DebugLog("Iterating through devices...");
  TIdentifyDeviceData working;
  for (std::uint32_t number = 0; number <= kLastDriveNumber; ++number) {
    if (catalogue.DeviceCount >= DeviceCatalogue::kMaxDrives) {
      break;
    }
    const std::string path = services.Drives.DrivePath(number);
    logs.DebugLog("Trying device " + path);
    std::unique_ptr<StorageFacts> drive = services.Drives.OpenDrive(number);
    if (!drive) {
      logs.DebugLog("Invalid handle, skipping");
      continue;
    }
    logs.DebugLog("Identifying the device...");
    std::string fatal;
    const bool ok = IdentifyStorageDevice(*drive, working, logs, fatal) == 0;
    if (!fatal.empty()) {
      result.Ok = false;
      result.FatalMessage = fatal;
      return result;
    }
    logs.DebugLog(std::string("Done. Status = ") + (ok ? "-1" : "0") + "; " + working.Model + "  " + working.SN);
    logs.DebugLog("Getting partition info...");
    const std::string partitions = GetAssociatedPartitions(services.Volumes, logs, number);
    logs.DebugLog("Partitions: " + partitions);
    if (ok) {
      TDeviceTable entry;
      entry.DevicePath = path;
      entry.DeviceNumber = number;
      entry.IdentifyData = working;
      entry.AssociatedPartitions = partitions;
      entry.SystemVolume = services.Volumes.RunningSystemVolume(number);
      catalogue.Append(entry);
    }
  }

  result.StatusText = "Disks found: " + std::to_string(catalogue.DeviceCount);
  WriteWarningLines(logs);
  return result;
}

}  // namespace vellumar

#pragma once

#include <QStringList>
#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "devices/catalogue/enumeration.h"
#include "devices/erase/format_controller.h"
#include "devices/user/user_session.h"
#include "main/main_services.h"
#include "support/fake_block_device.h"
#include "support/fake_erasure_parts.h"

namespace vellumar::testing {

// No drive answers the probe; the fake adds its own drives to the catalogue afterwards.
class SilentProber final : public vellumar::DriveProber {
 public:
  std::string DrivePath(std::uint32_t number) override { return "/dev/fake" + std::to_string(number); }
  std::unique_ptr<vellumar::StorageFacts> OpenDrive(std::uint32_t /*number*/) override { return nullptr; }
};

class NoVolumeSystem final : public vellumar::VolumeSystem {
 public:
  std::vector<std::string> GetLogicalDrivesList() override { return {}; }
  vellumar::TVolumeDeviceNumber GetVolumeDeviceNumber(const std::string& /*name*/) override { return {}; }
  std::unique_ptr<vellumar::VolumeHandle> OpenVolume(const std::string& /*name*/) override { return nullptr; }
};

class FixedPlatform final : public vellumar::PlatformInfo {
 public:
  std::string ProgramPath() override { return "/opt/vellumar/bin/"; }
  std::string PlatformDescription() override { return "6.1.0   Debian GNU/Linux 12 (bookworm)  (64 bit)"; }
  bool DeviceInformationReachable() override { return Reachable; }
  bool Reachable = true;
};

// The main window's services over the real start-up probe (which finds no drive), a scripted
// catalogue and an in-memory disk.
class FakeMainServices final : public desktop::MainServices {
 public:
  vellumar::EnumerationResult EnumerateDevices(vellumar::DeviceCatalogue& catalogue, vellumar::LogSinks& logs,
                                               const std::function<void()>& onDebugModeActivated) override {
    Calls.push_back("enumerate");
    vellumar::EnumerationServices services{logs, prober_, volumes_, Platform, onDebugModeActivated};
    vellumar::EnumerationResult result = vellumar::EnumerateDevices(Parameters, catalogue, services);
    for (const vellumar::TDeviceTable& drive : Drives) {
      catalogue.Append(drive);
    }
    result.StatusText = "Disks found: " + std::to_string(catalogue.DeviceCount);
    return result;
  }
  std::string OpenDevice(const vellumar::TDeviceTable& drive) override {
    Calls.push_back("open " + drive.DevicePath);
    return OpenError;
  }
  void CloseDevice() override { Calls.push_back("close"); }
  void ShowDetailsReport(const vellumar::TDeviceTable& drive, vellumar::LogSinks& logs) override {
    logs.DetailsLog("Device details for " + drive.DevicePath);
  }
  void ShowSmartReport(const vellumar::TDeviceTable& /*drive*/, vellumar::LogSinks& logs) override {
    if (DuringSmart) {
      DuringSmart();
    }
    logs.SmartLog("SMART is not supported by this device.");
  }
  vellumar::ops::ErasureParts MakeRunParts(const vellumar::TDeviceTable& drive, vellumar::LogSinks& /*logs*/) override {
    // The running system's disk, as the real target would find it now.
    Script.SystemVolume = drive.SystemVolume;
    return FakeErasureParts(Disk, Script, Inspection);
  }

  std::string SaveCertificate(const vellumar::ErasureCertificate& certificate, const std::string& pdfPath,
                              std::string& error) override {
    if (!SaveError.empty()) {
      error = SaveError;
      return {};
    }
    Saved = certificate;
    return pdfPath;
  }
  vellumar::DriveWatch* Watch() override { return WatchSource; }
  vellumar::FirmwareFacts ReadFirmwareFacts(const vellumar::TDeviceTable& /*drive*/) override { return Firmware; }

  vellumar::FirmwareFacts Firmware;

  vellumar::DriveWatch* WatchSource = nullptr;

  std::optional<vellumar::ErasureCertificate> Saved;
  std::string SaveError;  // set: every save fails with it
  std::vector<std::string> Parameters;
  std::vector<vellumar::TDeviceTable> Drives;
  FixedPlatform Platform;
  std::string OpenError;
  std::function<void()> DuringSmart;
  std::vector<std::string> Calls;
  // 70,000 sectors: above the chooser's minimum, small enough to zero in a moment.
  FakeBlockDevice Disk{70'000 * 512, 512};
  DiskScript Script;
  vellumar::ops::DriveInspection Inspection = TwoAttributeInspection();

 private:
  SilentProber prober_;
  NoVolumeSystem volumes_;
};

// A launcher that knows which tools are installed and records what it starts.
struct FakeLauncher final : vellumar::ProgramLauncher {
  QStringList Installed;
  QStringList Started;
  bool Fails = false;
  bool Available(const std::string& name) override { return Installed.contains(QString::fromStdString(name)); }
  bool Launch(const std::string& name, const std::vector<std::string>& arguments, std::string& error) override {
    Started << QString::fromStdString(name) + (arguments.empty() ? "" : " " + QString::fromStdString(arguments[0]));
    error = "it ended at once";
    return !Fails;
  }
};

inline vellumar::TDeviceTable MakeDrive(const std::string& path, std::int64_t lba, std::uint32_t number = 0) {
  vellumar::TDeviceTable drive;
  drive.DevicePath = path;
  drive.DeviceNumber = number;
  drive.IdentifyData.Model = "  TEST DISK  ";
  drive.IdentifyData.FW = "1.0";
  drive.IdentifyData.SN = "SN" + std::to_string(number);
  drive.IdentifyData.LBA = lba;
  drive.IdentifyData.SectorSize = 512;
  drive.IdentifyData.BusType = vellumar::kBusSata;
  return drive;
}

}  // namespace vellumar::testing

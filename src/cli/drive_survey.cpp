#include "cli/drive_survey.h"

#include <cstring>

#include "cli/commands/ata_report_command.h"
#include "devices/ata/ata_commands.h"
#include "platform/linux/ata/linux_ata_passthrough.h"
#include "platform/linux/ata/sg_ata_lba_query.h"
#include "platform/linux/io/read_only_device.h"

namespace vellumar::cli {

namespace {

bool MayAsk(const vellumar::TDeviceTable& entry, vellumar::HiddenAreaReport& hidden) {
  // ATA commands are tried on every bus; only an image file is never asked.
  if (entry.IsFile) {
    hidden.Reason = "an image file takes no ATA commands";
    return false;
  }
  return true;
}

// IDENTIFY first: the check needs its capacity and feature words.
bool CheckOpenDrive(int fd, std::uint8_t slave, vellumar::AtaPassThrough& ata, vellumar::HiddenAreaReport& hidden) {
  vellumar::AtaSector identify{};
  if (!vellumar::AtaIdentifyDevice(ata, slave, identify)) {
    hidden.Reason = "the drive did not answer IDENTIFY DEVICE";
    return false;
  }
  vellumar::platform::SgAtaLbaQuery query(fd, vellumar::platform::SystemIoctl());
  hidden = vellumar::CheckHiddenArea(identify, slave, query, ata);
  return true;
}

}  // namespace

vellumar::HiddenAreaReport HiddenAreaOf(const vellumar::TDeviceTable& entry, const std::string& sysfsRoot) {
  vellumar::HiddenAreaReport hidden;
  if (!MayAsk(entry, hidden)) {
    return hidden;
  }
  int error = 0;
  const auto device = vellumar::platform::LinuxReadOnlyDevice::Open(entry.DevicePath, sysfsRoot, error);
  if (device == nullptr) {
    hidden.Reason = std::string("the drive could not be opened: ") + std::strerror(error);
    return hidden;
  }
  vellumar::platform::LinuxAtaPassThrough ata(device->Descriptor());
  CheckOpenDrive(device->Descriptor(), entry.IdentifyData.IsIDESlave, ata, hidden);
  return hidden;
}

DriveInspection InspectDrive(const ResolvedDrive& drive, CliEnvironment& env, int openFd) {
  DriveInspection inspection;
  vellumar::HiddenAreaReport& hidden = inspection.HiddenArea;
  const vellumar::TIdentifyDeviceData& id = drive.Entry.IdentifyData;
  if (!MayAsk(drive.Entry, hidden)) {
    return inspection;
  }
  std::string error;
  std::unique_ptr<vellumar::platform::DriveHandle> handle;
  if (openFd < 0) {
    handle = OpenResolvedDrive(drive, env, error);
    if (handle == nullptr) {
      hidden.Reason = "the drive could not be opened: " + error;
      return inspection;
    }
  }
  const int fd = openFd >= 0 ? openFd : handle->Descriptor();
  vellumar::platform::LinuxAtaPassThrough ata(fd);
  if (!CheckOpenDrive(fd, id.IsIDESlave, ata, hidden)) {
    return inspection;
  }
  vellumar::AtaSector smart{};
  if (vellumar::SmartReadData(ata, id.IsIDESlave, smart)) {
    inspection.Smart = vellumar::DecodeSmartAttributes(smart);
  }
  return inspection;
}

}  // namespace vellumar::cli

#include "cli/drive_inspection.h"

#include "cli/ata_report_command.h"
#include "devices/ata_commands.h"
#include "platform/linux/linux_ata_passthrough.h"
#include "platform/linux/sg_ata_lba_query.h"

namespace vellumar::cli {

DriveInspection InspectDrive(const ResolvedDrive& drive, CliEnvironment& env, int openFd) {
  DriveInspection inspection;
  vellumar::HiddenAreaReport& hidden = inspection.HiddenArea;
  const vellumar::TIdentifyDeviceData& id = drive.Entry.IdentifyData;
  if (drive.Entry.IsFile || !BusMayCarryAtaCommands(id.BusType)) {
    hidden.Reason = "no ATA commands on this bus (" + vellumar::BusTypeName(id.BusType) + ")";
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
  vellumar::AtaSector identify{};
  if (!vellumar::AtaIdentifyDevice(ata, id.IsIDESlave, identify)) {
    hidden.Reason = "the drive did not answer IDENTIFY DEVICE";
    return inspection;
  }
  vellumar::platform::SgAtaLbaQuery query(fd, vellumar::platform::SystemIoctl());
  hidden = vellumar::CheckHiddenArea(identify, id.IsIDESlave, query, ata);
  vellumar::AtaSector smart{};
  if (vellumar::SmartReadData(ata, id.IsIDESlave, smart)) {
    inspection.Smart = vellumar::DecodeSmartAttributes(smart);
  }
  return inspection;
}

}  // namespace vellumar::cli

#include "ops/linux/hidden_area_step.h"

#include "devices/ata/ata_commands.h"
#include "devices/ata/hidden_area_reveal.h"
#include "platform/linux/ata/linux_ata_passthrough.h"
#include "platform/linux/ata/sg_ata_command_channel.h"
#include "platform/linux/ata/sg_ata_lba_query.h"
#include "platform/linux/io/drive_handle.h"
#include "platform/linux/sysfs/disk_rescan.h"
#include "platform/linux/sysfs/sysfs_files.h"

namespace vellumar::ops {

namespace {

RevealStep Refuse(std::string line) { return {true, false, std::move(line)}; }

}  // namespace

RevealStep RevealHiddenSectors(const TDeviceTable& entry, const platform::PinnedIdentity& pin,
                               const std::string& sysfsRoot) {
  if (entry.IsFile || entry.IdentifyData.BusType == kBusNvme) {
    return Refuse("--reveal-hidden applies to ATA drives with a host protected area; this drive has none.");
  }
  std::string error;
  const std::unique_ptr<platform::DriveHandle> handle =
      platform::DriveHandle::Open(entry.DevicePath, pin, sysfsRoot, error);
  if (handle == nullptr) {
    return Refuse("The drive could not be opened to reveal its hidden area: " + error);
  }
  const int fd = handle->Descriptor();
  const std::uint8_t slave = entry.IdentifyData.IsIDESlave;
  platform::LinuxAtaPassThrough ata(fd);
  AtaSector identify{};
  if (!AtaIdentifyDevice(ata, slave, identify)) {
    return Refuse("The drive did not answer IDENTIFY DEVICE, so its hidden area cannot be revealed.");
  }
  platform::SgAtaLbaQuery query(fd, platform::SystemIoctl());
  const HiddenAreaReport report = CheckHiddenArea(identify, slave, query, ata);
  if (report.Status == HiddenAreaStatus::NotChecked) {
    return Refuse("The drive's hidden area could not be checked (" + report.Reason + ").");
  }
  if (report.HpaHiddenSectors == 0 && report.DcoHiddenSectors == 0) {
    return {false, false, "Hidden area: none, nothing to reveal."};
  }
  platform::SgAtaCommandChannel channel(fd, slave);
  const HiddenAreaReveal reveal = RevealHiddenArea(identify, report, channel);
  if (!reveal.Confirmed) {
    return Refuse(reveal.Line + " Nothing was written.");
  }
  // The kernel keeps the old capacity until it is asked again; only then can the run reach the
  // revealed sectors.
  const std::optional<std::int64_t> kernel = platform::RescanDiskSize(sysfsRoot, platform::BaseName(entry.DevicePath));
  const std::int64_t sectorSize = entry.IdentifyData.SectorSize > 0 ? entry.IdentifyData.SectorSize : 512;
  if (!kernel || *kernel * 512 != reveal.SectorsAfter * sectorSize) {
    return Refuse(reveal.Line +
                  " The system still sees the old size, so the run could not reach those sectors; nothing was "
                  "written. They are hidden again after the next power cycle.");
  }
  return {false, true, reveal.Line};
}

}  // namespace vellumar::ops

#include "ops/linux/drive_survey.h"

#include <cstring>
#include <memory>

#include "devices/ata/ata_commands.h"
#include "devices/nvme/nvme_admin.h"
#include "platform/linux/ata/linux_ata_passthrough.h"
#include "platform/linux/ata/sg_ata_lba_query.h"
#include "platform/linux/io/drive_handle.h"
#include "platform/linux/io/read_only_device.h"
#include "platform/linux/nvme/linux_nvme_admin.h"

namespace vellumar::ops {

namespace {

bool MayAsk(const TDeviceTable& entry, HiddenAreaReport& hidden) {
  // ATA commands are tried on every bus; only an image file is never asked.
  if (entry.IsFile) {
    hidden.Reason = "an image file takes no ATA commands";
    return false;
  }
  return true;
}

// IDENTIFY first: the check needs its capacity and feature words.
bool CheckOpenDrive(int fd, std::uint8_t slave, AtaPassThrough& ata, HiddenAreaReport& hidden) {
  AtaSector identify{};
  if (!AtaIdentifyDevice(ata, slave, identify)) {
    hidden.Reason = "the drive did not answer IDENTIFY DEVICE";
    return false;
  }
  platform::SgAtaLbaQuery query(fd, platform::SystemIoctl());
  hidden = CheckHiddenArea(identify, slave, query, ata);
  return true;
}

}  // namespace

HiddenAreaReport HiddenAreaOf(const TDeviceTable& entry, const std::string& sysfsRoot) {
  HiddenAreaReport hidden;
  if (!MayAsk(entry, hidden)) {
    return hidden;
  }
  int error = 0;
  const auto device = platform::LinuxReadOnlyDevice::Open(entry.DevicePath, sysfsRoot, error);
  if (device == nullptr) {
    hidden.Reason = std::string("the drive could not be opened: ") + std::strerror(error);
    return hidden;
  }
  platform::LinuxAtaPassThrough ata(device->Descriptor());
  CheckOpenDrive(device->Descriptor(), entry.IdentifyData.IsIDESlave, ata, hidden);
  return hidden;
}

DriveInspection LinuxDriveInspector::Inspect() {
  DriveInspection inspection;
  HiddenAreaReport& hidden = inspection.HiddenArea;
  const std::uint8_t slave = entry_.IdentifyData.IsIDESlave;
  if (!MayAsk(entry_, hidden)) {
    return inspection;
  }
  std::unique_ptr<platform::DriveHandle> handle;
  if (openFd_ < 0) {
    std::string error;
    handle = platform::DriveHandle::Open(entry_.DevicePath, pin_, sysfsRoot_, error);
    if (handle == nullptr) {
      hidden.Reason = "the drive could not be opened: " + error;
      return inspection;
    }
  }
  const int fd = openFd_ >= 0 ? openFd_ : handle->Descriptor();
  if (entry_.IdentifyData.BusType == kBusNvme) {
    // An NVMe drive keeps its health in a log page; ATA commands mean nothing to it.
    platform::LinuxNvmeAdminChannel channel(fd);
    NvmePages pages;
    std::string reason;
    if (ReadNvmePages(channel, NvmePageSet::Health, pages, reason)) {
      inspection.Nvme = DecodeNvmeHealth(pages.Health);
    }
    hidden.Reason = "an NVMe drive has no host protected area";
    return inspection;
  }
  platform::LinuxAtaPassThrough ata(fd);
  if (!CheckOpenDrive(fd, slave, ata, hidden)) {
    return inspection;
  }
  AtaSector smart{};
  if (SmartReadData(ata, slave, smart)) {
    inspection.Smart = DecodeSmartAttributes(smart);
  }
  return inspection;
}

}  // namespace vellumar::ops

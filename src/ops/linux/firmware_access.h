#pragma once

#include <memory>
#include <string>

#include "devices/base/drive_record.h"
#include "ops/erasure_job.h"
#include "platform/linux/io/identity_pin.h"

namespace vellumar::platform {
class SgAtaCommandChannel;
class LinuxNvmeAdminChannel;
}  // namespace vellumar::platform

namespace vellumar::ops {

// How the drive's firmware is reached, from its bus: ATA through libata, ATA through a bridge
// (USB, FireWire, a SCSI or SAS adapter), NVMe on its namespace, or not at all.
FirmwarePath FirmwarePathOf(const TDeviceTable& entry, std::string& bridge);

// The facts of a listed drive, for `list` and `details`: read-only commands on a read-only
// descriptor. An image file has none.
FirmwareFacts FirmwareFactsOf(const TDeviceTable& entry, const std::string& sysfsRoot, const std::string& devRoot);

// The drive's firmware on Linux: facts through a shared descriptor of the pinned drive, the
// erase through the run's own exclusive handle.
class LinuxFirmwareAccess final : public FirmwareAccess {
 public:
  LinuxFirmwareAccess(TDeviceTable entry, platform::PinnedIdentity pin, std::string sysfsRoot, std::string devRoot);
  ~LinuxFirmwareAccess() override;
  LinuxFirmwareAccess(const LinuxFirmwareAccess&) = delete;
  LinuxFirmwareAccess& operator=(const LinuxFirmwareAccess&) = delete;

  FirmwareFacts ReadFacts() override;
  FirmwareFacts ReadFactsOn(BlockDevice& run) override;
  AtaCommandChannel* AtaOn(BlockDevice& run) override;
  NvmeAdminChannel* NvmeOn(BlockDevice& run) override;
  std::string NewPassword() override;
  void Pause(std::uint32_t seconds) override;

 private:
  friend FirmwareFacts FirmwareFactsOf(const TDeviceTable& entry, const std::string& sysfsRoot,
                                       const std::string& devRoot);
  FirmwareFacts FactsThrough(int fd);

  TDeviceTable entry_;
  platform::PinnedIdentity pin_;
  std::string sysfsRoot_;
  std::string devRoot_;
  std::unique_ptr<platform::SgAtaCommandChannel> ata_;
  std::unique_ptr<platform::LinuxNvmeAdminChannel> nvme_;
};

}  // namespace vellumar::ops

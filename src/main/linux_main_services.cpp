#include "main/linux_main_services.h"

#include <optional>

#include "devices/base/text_format.h"
#include "devices/reports/details_report.h"
#include "devices/reports/nvme_report.h"
#include "devices/reports/smart_report.h"
#include "ops/linux/certificate_writer.h"
#include "ops/linux/firmware_access.h"
#include "ops/linux/linux_parts.h"
#include "platform/linux/ata/linux_ata_passthrough.h"
#include "platform/linux/host/user_account.h"
#include "platform/linux/host/user_files.h"
#include "platform/linux/hotplug/udev_drive_watch.h"
#include "platform/linux/io/drive_handle.h"
#include "platform/linux/io/identity_pin.h"
#include "platform/linux/io/linux_block_device.h"
#include "platform/linux/nvme/linux_nvme_admin.h"
#include "platform/linux/sysfs/linux_drive_prober.h"
#include "platform/linux/sysfs/linux_platform_info.h"
#include "platform/linux/volumes/linux_volume_system.h"
#include "platform/linux/volumes/removable_media.h"

namespace vellumar::desktop {

namespace {

class LinuxMainServices final : public MainServices {
 public:
  LinuxMainServices(std::vector<std::string> parameters, std::string sysfsRoot, std::string procRoot)
      : parameters_(std::move(parameters)),
        sysfsRoot_(std::move(sysfsRoot)),
        procRoot_(std::move(procRoot)),
        volumes_(sysfsRoot_, procRoot_) {}

  vellumar::EnumerationResult EnumerateDevices(vellumar::DeviceCatalogue& catalogue, vellumar::LogSinks& logs,
                                               const std::function<void()>& onDebugModeActivated) override {
    prober_.emplace(sysfsRoot_, "/dev");
    // Drive numbers stay those of this listing, so a disk attached later cannot shift which
    // disk's volumes a run takes away.
    volumes_.SetDiskOrder(prober_->Disks());
    vellumar::platform::LinuxPlatformInfo platform(sysfsRoot_, procRoot_);
    vellumar::EnumerationServices services{logs, *prober_, volumes_, platform, onDebugModeActivated};
    return vellumar::EnumerateDevices(parameters_, catalogue, services);
  }

  vellumar::FirmwareFacts ReadFirmwareFacts(const vellumar::TDeviceTable& drive) override {
    return vellumar::ops::FirmwareFactsOf(drive, sysfsRoot_, "/dev");
  }

  std::string OpenDevice(const vellumar::TDeviceTable& drive) override {
    std::string error;
    std::optional<vellumar::platform::PinnedIdentity> pin;
    if (prober_) {
      pin = prober_->Pin(drive);
    }
    if (!pin) {
      // A drive that was not probed here (handed in by a caller): pin what the node is now.
      vellumar::platform::PinnedIdentity now;
      if (!vellumar::platform::ReadIdentity(drive.DevicePath, now, error)) {
        return error;
      }
      now.Serial = drive.IdentifyData.SN;
      pin = now;
    }
    pin_ = *pin;
    handle_ = vellumar::platform::DriveHandle::Open(drive.DevicePath, *pin, sysfsRoot_, error);
    if (!handle_) {
      return error.empty() ? std::string("the device could not be opened") : error;
    }
    if (!vellumar::platform::ReadGeometry(drive.DevicePath, geometry_)) {
      handle_.reset();
      return "the size of the device could not be read";
    }
    // ATA commands are tried on every bus: SATA disks behind SAS adapters answer them too.
    if (!drive.IsFile) {
      ata_.emplace(handle_->Descriptor());
    }
    // An NVMe namespace gets the NVMe pages instead of the ATA reports.
    nvme_.emplace(handle_->Descriptor());
    if (!nvme_->NamespaceId()) {
      nvme_.reset();
    }
    return {};
  }

  void CloseDevice() override {
    nvme_.reset();
    ata_.reset();
    handle_.reset();
  }

  void ShowDetailsReport(const vellumar::TDeviceTable& drive, vellumar::LogSinks& logs) override {
    if (nvme_) {
      vellumar::RunNvmeDetailsReport(vellumar::DriveCaption(drive, logs.Locale()), *nvme_, logs);
      return;
    }
    vellumar::RunDetailsReport(drive, vellumar::DriveCaption(drive, logs.Locale()), Ata(), logs, state_);
  }

  void ShowSmartReport(const vellumar::TDeviceTable& drive, vellumar::LogSinks& logs) override {
    if (nvme_) {
      vellumar::RunNvmeSmartReport(vellumar::DriveCaption(drive, logs.Locale()), *nvme_, logs);
      return;
    }
    vellumar::RunSmartReport(drive, vellumar::DriveCaption(drive, logs.Locale()), Ata(), logs, state_);
  }

  vellumar::ops::ErasureParts MakeRunParts(const vellumar::TDeviceTable& drive, vellumar::LogSinks& logs) override {
    // The inspection asks the drive through the handle the window already holds open.
    return vellumar::ops::MakeLinuxErasureParts({drive, pin_, handle_ ? handle_->Descriptor() : -1}, volumes_, logs,
                                                {sysfsRoot_, procRoot_, "/dev"});
  }

  std::string SaveCertificate(const vellumar::ErasureCertificate& certificate, const std::string& pdfPath,
                              std::string& error) override {
    const auto [folder, stem] = vellumar::ops::SplitReportPath(pdfPath);
    const std::string written =
        vellumar::ops::WriteCertificate(certificate, folder, stem, vellumar::ops::CertificateOwner::DeskUser, error);
    return written.empty() ? std::string() : folder + "/" + written + ".pdf";
  }

  vellumar::DriveWatch* Watch() override {
    if (!watch_) {
      watch_.emplace(sysfsRoot_);
    }
    return &*watch_;
  }

  std::string ReportFolder() override {
    // The live image mounts the stick named by vellumar.certificates= here.
    if (vellumar::platform::IsMountedFolder(procRoot_, "/media/certificates")) {
      return "/media/certificates";
    }
    const std::optional<vellumar::UserAccount> user =
        vellumar::platform::DeskUser(vellumar::platform::ProcessEnvironment());
    if (!user || !vellumar::platform::ActsForAnotherUser(*user) || user->Home.empty()) {
      return {};
    }
    return vellumar::platform::UserDocumentsFolder(*user);
  }

  std::vector<std::string> RemovableMediaFolders() override {
    return vellumar::platform::RemovableMediaFolders(sysfsRoot_, procRoot_);
  }

 private:
  vellumar::AtaPassThrough* Ata() { return ata_ ? &*ata_ : nullptr; }

  std::vector<std::string> parameters_;
  std::string sysfsRoot_;
  std::string procRoot_;
  vellumar::platform::LinuxVolumeSystem volumes_;
  std::optional<vellumar::platform::LinuxDriveProber> prober_;
  std::unique_ptr<vellumar::platform::DriveHandle> handle_;
  vellumar::platform::DeviceGeometry geometry_;
  vellumar::platform::PinnedIdentity pin_;
  std::optional<vellumar::platform::LinuxAtaPassThrough> ata_;
  std::optional<vellumar::platform::LinuxNvmeAdminChannel> nvme_;
  vellumar::AtaDriveState state_;
  std::optional<vellumar::platform::UdevDriveWatch> watch_;
};

}  // namespace

std::unique_ptr<MainServices> MakeLinuxMainServices(std::vector<std::string> parameters, std::string sysfsRoot,
                                                    std::string procRoot) {
  return std::make_unique<LinuxMainServices>(std::move(parameters), std::move(sysfsRoot), std::move(procRoot));
}

}  // namespace vellumar::desktop

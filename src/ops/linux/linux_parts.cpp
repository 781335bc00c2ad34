#include "ops/linux/linux_parts.h"

#include <ctime>

#include "devices/erase/volume_locking.h"
#include "ops/linux/drive_survey.h"
#include "ops/linux/firmware_access.h"
#include "platform/linux/host/certificate_facts.h"
#include "platform/linux/io/format_target.h"
#include "platform/linux/volumes/drive_census.h"

namespace vellumar::ops {

void LinuxCertificateFacts::AddHostFacts(ErasureCertificate& certificate) { platform::ReadHostFacts(certificate); }

void LinuxCertificateFacts::AddDriveFacts(CertificateDrive& drive) {
  platform::ReadDriveFacts(rdev_, roots_.Sysfs, roots_.Dev, drive);
}

std::time_t LinuxCertificateFacts::Now() { return std::time(nullptr); }

std::string LinuxCertificateFacts::IsoTime(std::time_t moment) { return platform::IsoLocalTime(moment); }

ErasureParts MakeLinuxErasureParts(const LinuxRunDrive& drive, platform::LinuxVolumeSystem& volumes, LogSinks& logs,
                                   const SystemRoots& roots) {
  ErasureParts parts;
  const TDeviceTable& entry = drive.Entry;
  if (entry.IsFile) {
    // An image file has no volumes of the system's, but loop devices, swap and processes may
    // use it: the census alone guards it.
    const platform::PinnedIdentity pin = drive.Pin;
    parts.Volumes = std::make_unique<CensusGuard>(
        [pin, roots] {
          return platform::ImageCensus(platform::SystemCensus(roots.Sysfs, roots.Proc, roots.Dev), pin.FileDevice,
                                       pin.FileInode);
        },
        logs);
  } else {
    // The volumes are found from the device number the drive was pinned with, never by name.
    volumes.PinDisk(entry.DeviceNumber, drive.Pin.Rdev);
    parts.Volumes = std::make_unique<VolumeLocking>(volumes, logs);
  }
  auto target =
      std::make_unique<platform::LinuxFormatTarget>(entry.DevicePath, roots.Sysfs, roots.Proc, drive.Pin, roots.Dev);
  // The volumes' claims would block the run's exclusive open; that open takes over their guard.
  VolumeLocker* locker = parts.Volumes.get();
  target->SetHandOver([locker] { locker->ReleaseClaims(); });
  parts.Target = std::move(target);
  parts.Inspector = std::make_unique<LinuxDriveInspector>(entry, drive.Pin, roots.Sysfs, drive.InspectFd);
  parts.Facts = std::make_unique<LinuxCertificateFacts>(drive.Pin.Rdev, roots);
  if (!entry.IsFile) {
    parts.Firmware = std::make_unique<LinuxFirmwareAccess>(entry, drive.Pin, roots.Sysfs, roots.Dev);
  }
  return parts;
}

}  // namespace vellumar::ops

#pragma once

#include <sys/types.h>

#include <string>

#include "devices/base/drive_record.h"
#include "devices/base/log_sinks.h"
#include "ops/erasure_job.h"
#include "platform/linux/io/identity_pin.h"
#include "platform/linux/volumes/linux_volume_system.h"

namespace vellumar::ops {

// Where the system's trees are; tests point them at fake ones.
struct SystemRoots {
  std::string Sysfs = "/sys";
  std::string Proc = "/proc";
  std::string Dev = "/dev";
};

// The host from uname(2), the drive's facts from sysfs and /dev/disk/by-id, the local clock.
class LinuxCertificateFacts final : public CertificateFacts {
 public:
  LinuxCertificateFacts(dev_t rdev, SystemRoots roots) : rdev_(rdev), roots_(std::move(roots)) {}
  void AddHostFacts(ErasureCertificate& certificate) override;
  void AddDriveFacts(CertificateDrive& drive) override;
  std::time_t Now() override;
  std::string IsoTime(std::time_t moment) override;

 private:
  dev_t rdev_;
  SystemRoots roots_;
};

// The drive a run takes, as it was named and pinned.
struct LinuxRunDrive {
  TDeviceTable Entry;
  platform::PinnedIdentity Pin;
  // A descriptor the drive is already open on (read-write, shared) for the ATA inspection; -1
  // opens the pinned drive for it.
  int InspectFd = -1;
};

// The parts of one run on Linux: the disk pinned to what the user confirmed, its volumes (taken
// through `volumes`, which must outlive the parts), the inspection and the certificate facts.
// An image file carries no volumes of the system's.
ErasureParts MakeLinuxErasureParts(const LinuxRunDrive& drive, platform::LinuxVolumeSystem& volumes, LogSinks& logs,
                                   const SystemRoots& roots);

}  // namespace vellumar::ops

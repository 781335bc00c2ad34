#pragma once

#include <string>

#include "devices/ata/hidden_area.h"
#include "devices/base/drive_record.h"
#include "ops/erasure_job.h"
#include "platform/linux/io/identity_pin.h"

namespace vellumar::ops {

// Asks an ATA drive (directly or through a USB bridge that passes commands) for hidden sectors
// and its S.M.A.R.T. table. Other drives are recorded as not checked, never as "none". With an
// open descriptor the commands go there; otherwise the drive is opened read-write and shared for
// them, only while it is still the pinned drive.
class LinuxDriveInspector final : public DriveInspector {
 public:
  LinuxDriveInspector(TDeviceTable entry, platform::PinnedIdentity pin, std::string sysfsRoot, int openFd = -1)
      : entry_(std::move(entry)), pin_(std::move(pin)), sysfsRoot_(std::move(sysfsRoot)), openFd_(openFd) {}

  DriveInspection Inspect() override;

 private:
  TDeviceTable entry_;
  platform::PinnedIdentity pin_;
  std::string sysfsRoot_;
  int openFd_;
};

// The hidden-area check alone, for `list --json`: the node is opened read-only for it.
HiddenAreaReport HiddenAreaOf(const TDeviceTable& entry, const std::string& sysfsRoot);

}  // namespace vellumar::ops

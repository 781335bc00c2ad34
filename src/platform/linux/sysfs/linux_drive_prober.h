#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "devices/base/drive_record.h"
#include "devices/catalogue/enumeration.h"
#include "platform/linux/io/identity_pin.h"

namespace vellumar::platform {

// Drive number N is the N-th candidate disk of sysfs in natural order; its node is opened
// read-only and non-blocking for identification.
class LinuxDriveProber final : public vellumar::DriveProber {
 public:
  LinuxDriveProber(std::string sysfsRoot, std::string devRoot);

  std::string DrivePath(std::uint32_t number) override;
  std::unique_ptr<vellumar::StorageFacts> OpenDrive(std::uint32_t number) override;

  const std::vector<std::string>& Disks() const { return disks_; }
  // The identity a catalogued drive had when it was probed, with its catalogue serial; nullopt
  // for a drive this prober did not open.
  std::optional<PinnedIdentity> Pin(const vellumar::TDeviceTable& entry) const;

 private:
  std::string sysfsRoot_;
  std::string devRoot_;
  std::vector<std::string> disks_;
  std::map<std::uint32_t, PinnedIdentity> probed_;
};

}  // namespace vellumar::platform

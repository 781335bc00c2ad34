#pragma once

#include <string>

#include "devices/base/drive_record.h"
#include "platform/linux/io/identity_pin.h"

namespace vellumar::ops {

struct RevealStep {
  bool Refused = false;   // the run must not go on: the hidden sectors would stay unerased
  bool Revealed = false;  // the drive and the kernel now show the native capacity
  std::string Line;       // for the log and the certificate
};

// For a zero fill asked to reach a host protected area: a volatile SET MAX ADDRESS (EXT) to the
// native maximum, IDENTIFY read again, and the kernel's view of the size brought up to date. Only
// an ATA drive with a host protected area is changed, and only until its next power cycle;
// nothing is written to the medium.
RevealStep RevealHiddenSectors(const TDeviceTable& entry, const platform::PinnedIdentity& pin,
                               const std::string& sysfsRoot);

}  // namespace vellumar::ops

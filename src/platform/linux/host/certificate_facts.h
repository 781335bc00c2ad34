#pragma once

#include <sys/types.h>

#include <ctime>
#include <string>

#include "devices/certificate/certificate.h"

namespace vellumar::platform {

// Host name and kernel release, from uname(2).
void ReadHostFacts(vellumar::ErasureCertificate& certificate);

// "2026-12-08T14:30:05+01:00": local time with its offset.
std::string IsoLocalTime(std::time_t moment);
// "20261208T133005Z": the UTC stamp of certificate file names.
std::string UtcStamp(std::time_t moment);

// Physical sector size, rotation, WWN and the /dev/disk/by-id name of the disk `rdev`
// (0 for an image file, which has none of them). Texts are stripped of control characters.
void ReadDriveFacts(dev_t rdev, const std::string& sysfsRoot, const std::string& devRoot,
                    vellumar::CertificateDrive& drive);

}  // namespace vellumar::platform

#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace vellumar::platform {

// Asks the SCSI layer to read the disk's capacity again (sysfs `device/rescan`), then returns the
// size the kernel now gives the disk in 512-byte sectors; nullopt when it cannot be asked.
std::optional<std::int64_t> RescanDiskSize(const std::string& sysfsRoot, const std::string& disk);

}  // namespace vellumar::platform

#pragma once

#include <string>
#include <vector>

#include "devices/catalogue/drive_watch.h"

namespace vellumar::platform {

// The candidate disks of `sysfsRoot`/block with their sizes, in natural order. Detached loop
// devices are listed too, with size 0, so attaching one shows as a change of size.
std::vector<vellumar::PresentDisk> ScanPresentDisks(const std::string& sysfsRoot);

}  // namespace vellumar::platform

#include "platform/linux/hotplug/disk_scan.h"

#include <algorithm>
#include <charconv>
#include <optional>

#include "platform/linux/sysfs/sysfs_disks.h"
#include "platform/linux/sysfs/sysfs_files.h"

namespace vellumar::platform {

std::vector<vellumar::PresentDisk> ScanPresentDisks(const std::string& sysfsRoot) {
  const std::string block = JoinPath({sysfsRoot, "/block"});
  std::vector<vellumar::PresentDisk> disks;
  for (const std::string& name : ListFolder(block)) {
    if (!IsCandidateDiskName(name)) {
      continue;
    }
    vellumar::PresentDisk disk{name, 0};
    if (const std::optional<std::string> size = ReadAttribute(JoinPath({block, "/", name, "/size"}))) {
      std::from_chars(size->data(), size->data() + size->size(), disk.Sectors);
    }
    disks.push_back(disk);
  }
  std::sort(disks.begin(), disks.end(), [](const vellumar::PresentDisk& a, const vellumar::PresentDisk& b) {
    return NaturalDiskLess(a.Name, b.Name);
  });
  return disks;
}

}  // namespace vellumar::platform

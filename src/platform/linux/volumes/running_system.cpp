#include "platform/linux/volumes/running_system.h"

#include <array>
#include <string_view>

#include "platform/linux/sysfs/sysfs_disks.h"
#include "platform/linux/sysfs/sysfs_files.h"
#include "platform/linux/volumes/block_stack.h"
#include "platform/linux/volumes/mountinfo.h"

namespace vellumar::platform {

namespace {

// The mounts without which the system cannot run on.
constexpr std::array<std::string_view, 5> kSystemMountPoints = {"/", "/usr", "/var", "/boot", "/boot/efi"};

bool IsSystemMountPoint(const std::string& point) {
  for (const std::string_view system : kSystemMountPoints) {
    if (point == system) {
      return true;
    }
  }
  return false;
}

}  // namespace

std::string RunningSystemVolume(const std::string& sysfsRoot, const std::string& procRoot, const std::string& disk) {
  for (const MountEntry& entry : ParseMountInfo(ReadTextFile(procRoot + "/1/mountinfo"))) {
    if (!IsSystemMountPoint(entry.MountPoint)) {
      continue;
    }
    const std::optional<DevNumbers> numbers = DevNumbersOfMount(sysfsRoot, entry);
    if (!numbers) {
      continue;
    }
    const std::optional<std::string> name = BlockNameOf(sysfsRoot, numbers->first, numbers->second);
    if (name && BlockStack(sysfsRoot, *name, true).count(disk) != 0) {
      return entry.MountPoint + " on " + entry.Source;
    }
  }
  return {};
}

}  // namespace vellumar::platform

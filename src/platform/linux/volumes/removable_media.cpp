#include "platform/linux/volumes/removable_media.h"

#include <algorithm>

#include "platform/linux/sysfs/sysfs_disks.h"
#include "platform/linux/sysfs/sysfs_files.h"
#include "platform/linux/volumes/block_stack.h"
#include "platform/linux/volumes/mountinfo.h"
#include "platform/linux/volumes/running_system.h"

namespace vellumar::platform {

namespace {

bool IsRemovableDisk(const std::string& sysfsRoot, const std::string& name) {
  const std::string folder = JoinPath({sysfsRoot, "/block/", name});
  if (ReadAttribute(folder + "/removable").value_or("") == "1") {
    return true;
  }
  // USB sticks mostly say they are fixed; their place in the device tree does not lie.
  return ResolvedPath(folder).value_or("").find("/usb") != std::string::npos;
}

}  // namespace

std::vector<std::string> RemovableMediaFolders(const std::string& sysfsRoot, const std::string& procRoot) {
  std::vector<std::string> folders;
  for (const MountEntry& entry : ParseMountInfo(ReadTextFile(procRoot + "/self/mountinfo"))) {
    const std::optional<DevNumbers> numbers = DevNumbersOfMount(sysfsRoot, entry);
    const std::optional<std::string> name =
        numbers ? BlockNameOf(sysfsRoot, numbers->first, numbers->second) : std::nullopt;
    if (!name || std::find(folders.begin(), folders.end(), entry.MountPoint) != folders.end()) {
      continue;
    }
    for (const std::string& disk : BlockStack(sysfsRoot, *name, false)) {
      if (PathExists(JoinPath({sysfsRoot, "/block/", disk})) && IsRemovableDisk(sysfsRoot, disk) &&
          RunningSystemVolume(sysfsRoot, procRoot, disk).empty()) {
        folders.push_back(entry.MountPoint);
        break;
      }
    }
  }
  return folders;
}

bool IsMountedFolder(const std::string& procRoot, const std::string& folder) {
  const std::vector<MountEntry> mounts = ParseMountInfo(ReadTextFile(procRoot + "/self/mountinfo"));
  return std::any_of(mounts.begin(), mounts.end(), [&](const MountEntry& entry) { return entry.MountPoint == folder; });
}

}  // namespace vellumar::platform

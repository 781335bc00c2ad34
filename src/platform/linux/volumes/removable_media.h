#pragma once

#include <string>
#include <vector>

namespace vellumar::platform {

// The folders where this process sees file systems of removable disks mounted (USB sticks, card
// readers: a disk on a USB bus or marked removable), in mount order, for a save dialog to offer
// first. The disk the system runs from, such as a live system's own stick, is left out.
std::vector<std::string> RemovableMediaFolders(const std::string& sysfsRoot, const std::string& procRoot);

// Whether a file system is mounted at exactly `folder`, as this process sees the mounts.
bool IsMountedFolder(const std::string& procRoot, const std::string& folder);

}  // namespace vellumar::platform

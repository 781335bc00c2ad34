#pragma once

#include <sys/types.h>

#include <optional>
#include <string>

#include "platform/linux/io/unique_fd.h"
#include "platform/linux/volumes/mountinfo.h"

namespace vellumar::platform {

// A mount point held from before its unmount until the volume is given back, so that giving it
// back never resolves a path again: the folder that holds it stays open (O_PATH), and the
// folder under the mount is known by device and inode. A user who swaps the folder for a
// symbolic link or another folder meanwhile gets nothing mounted anywhere.
class MountPin {
 public:
  // Holds the folder `entry` is mounted in, after checking that the mount found there is that
  // very mount (by its mount id). nullopt, with the reason, when it is not.
  static std::optional<MountPin> Take(const MountEntry& entry, std::string& why);

  // Unmounts the mount through the held folder, never following a link; an errno, or 0.
  int Unmount();

  // Mounts the file system of `source` (a block device node, checked to be `rdev`) on the folder
  // again with the options it had: the line that says whether it worked.
  std::string Remount(const MountEntry& entry, const std::string& source, dev_t rdev) const;

 private:
  MountPin(UniqueFd parent, std::string name) : parent_(std::move(parent)), name_(std::move(name)) {}

  UniqueFd parent_;
  std::string name_;
  std::optional<std::pair<dev_t, ino_t>> folder_;  // the folder under the mount, once unmounted
};

}  // namespace vellumar::platform

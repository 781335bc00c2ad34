#pragma once

#include <sys/types.h>

#include <cstdint>
#include <string>

#include "platform/linux/io/unique_fd.h"

namespace vellumar::platform {

// What a listed drive was when the user saw it. Whenever the drive is opened again, the node
// must still name this device; a disk swapped in the meantime must never be written to.
struct PinnedIdentity {
  bool IsFile = false;
  dev_t Rdev = 0;        // device number of a block node
  dev_t FileDevice = 0;  // for an image file: the file system and inode it lives at
  ino_t FileInode = 0;
  std::int64_t SizeBytes = 0;
  std::uint64_t DiskSeq = 0;  // the kernel's disk sequence number; changes with a new medium
  std::string Serial;         // the catalogue's serial text; empty skips the check
};

// Reads the identity of `path` as it is now; false with `error` (a readable text) on failure.
// With `noFollow` a symbolic link at `path` is refused.
bool ReadIdentity(const std::string& path, PinnedIdentity& identity, std::string& error, bool noFollow = false);

// Opens `path` read-only without blocking, for a look at what it is now; empty with errno.
UniqueFd OpenForLook(const std::string& path, bool noFollow);

// The catalogue's serial of the disk open as `fd` (identification run without logging).
std::string ReadDriveSerial(int fd, const std::string& sysfsRoot, dev_t rdev);

// Empty when the open `fd` is the pinned drive; else why it is not, as a readable text.
std::string CheckPinnedIdentity(int fd, const PinnedIdentity& expected, const std::string& sysfsRoot);

}  // namespace vellumar::platform

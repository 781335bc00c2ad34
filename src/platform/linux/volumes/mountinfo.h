#pragma once

#include <string>
#include <vector>

namespace vellumar::platform {

// One line of /proc/self/mountinfo, the escaped fields decoded.
struct MountEntry {
  int Id = 0;
  int ParentId = 0;
  unsigned Major = 0;
  unsigned Minor = 0;
  std::string Root;
  std::string MountPoint;
  std::string FsType;
  std::string Source;
  std::string MountOptions;  // per mount: rw,nosuid,relatime
  std::string SuperOptions;  // of the file system: rw,errors=remount-ro
  int SharedGroup = 0;       // "shared:N": the peer group it propagates to; 0 for none
  int MasterGroup = 0;       // "master:N": the peer group it receives from; 0 for none
};

// One active swap area of /proc/swaps.
struct SwapEntry {
  std::string Path;
  std::string Type;  // "partition" or "file"
  int Priority = 0;
};

// The kernel writes blanks, tabs, line breaks and backslashes in these files as \ and three
// octal digits (\040 for a blank).
std::string UnescapeMountField(const std::string& field);

// Lines that do not have the mountinfo shape are skipped.
std::vector<MountEntry> ParseMountInfo(const std::string& text);
std::vector<SwapEntry> ParseSwaps(const std::string& text);

}  // namespace vellumar::platform

#pragma once

#include <string>
#include <vector>

namespace vellumar::platform {

// One line of /proc/self/mountinfo, the escaped fields decoded.
struct MountEntry {
  unsigned Major = 0;
  unsigned Minor = 0;
  std::string Root;
  std::string MountPoint;
  std::string FsType;
  std::string Source;
};

// One active swap area of /proc/swaps.
struct SwapEntry {
  std::string Path;
  std::string Type;  // "partition" or "file"
};

// The kernel writes blanks, tabs, line breaks and backslashes in these files as \ and three
// octal digits (\040 for a blank).
std::string UnescapeMountField(const std::string& field);

// Lines that do not have the mountinfo shape are skipped.
std::vector<MountEntry> ParseMountInfo(const std::string& text);
std::vector<SwapEntry> ParseSwaps(const std::string& text);

}  // namespace vellumar::platform

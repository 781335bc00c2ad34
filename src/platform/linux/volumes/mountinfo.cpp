#include "platform/linux/volumes/mountinfo.h"

#include <sstream>

#include "platform/linux/sysfs/sysfs_files.h"

namespace vellumar::platform {

namespace {

bool IsOctal(char c) { return c >= '0' && c <= '7'; }

std::vector<std::string> Fields(const std::string& line) {
  std::istringstream stream(line);
  std::vector<std::string> fields;
  std::string field;
  while (stream >> field) {
    fields.push_back(field);
  }
  return fields;
}

}  // namespace

std::string UnescapeMountField(const std::string& field) {
  std::string text;
  for (std::size_t i = 0; i < field.size(); ++i) {
    if (field[i] == '\\' && i + 3 < field.size() && IsOctal(field[i + 1]) && IsOctal(field[i + 2]) &&
        IsOctal(field[i + 3])) {
      const int value = (field[i + 1] - '0') * 64 + (field[i + 2] - '0') * 8 + (field[i + 3] - '0');
      text.push_back(static_cast<char>(value));
      i += 3;
    } else {
      text.push_back(field[i]);
    }
  }
  return text;
}

std::vector<MountEntry> ParseMountInfo(const std::string& text) {
  std::vector<MountEntry> entries;
  std::istringstream lines(text);
  std::string line;
  while (std::getline(lines, line)) {
    const std::vector<std::string> fields = Fields(line);
    // id, parent, major:minor, root, mount point, options, optional fields..., "-", type, source, options
    std::size_t separator = 6;
    while (separator < fields.size() && fields[separator] != "-") {
      ++separator;
    }
    MountEntry entry;
    if (separator + 2 >= fields.size() || !ParseDevNumbers(fields[2], entry.Major, entry.Minor)) {
      continue;
    }
    try {
      entry.Id = std::stoi(fields[0]);
      entry.ParentId = std::stoi(fields[1]);
    } catch (const std::exception&) {
      continue;
    }
    entry.Root = UnescapeMountField(fields[3]);
    entry.MountOptions = fields[5];
    if (separator + 3 < fields.size()) {
      entry.SuperOptions = UnescapeMountField(fields[separator + 3]);
    }
    entry.MountPoint = UnescapeMountField(fields[4]);
    entry.FsType = UnescapeMountField(fields[separator + 1]);
    entry.Source = UnescapeMountField(fields[separator + 2]);
    entries.push_back(entry);
  }
  return entries;
}

std::vector<SwapEntry> ParseSwaps(const std::string& text) {
  std::vector<SwapEntry> entries;
  std::istringstream lines(text);
  std::string line;
  bool header = true;
  while (std::getline(lines, line)) {
    if (header) {
      header = false;
      continue;
    }
    const std::vector<std::string> fields = Fields(line);
    if (fields.size() < 2) {
      continue;
    }
    entries.push_back(SwapEntry{UnescapeMountField(fields[0]), fields[1]});
  }
  return entries;
}

}  // namespace vellumar::platform

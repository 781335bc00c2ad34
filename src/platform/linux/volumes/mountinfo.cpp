#include "platform/linux/volumes/mountinfo.h"

#include <optional>
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

namespace {

// The number that follows `prefix` in `field` ("shared:12"), when it is all there is.
std::optional<int> NumberAfter(const std::string& field, const std::string& prefix) {
  if (field.size() <= prefix.size() || field.compare(0, prefix.size(), prefix) != 0) {
    return std::nullopt;
  }
  const std::string digits = field.substr(prefix.size());
  const bool negative = digits.front() == '-';
  if (digits.size() > 9 || digits.find_first_not_of("0123456789", negative ? 1 : 0) != std::string::npos ||
      digits.size() == (negative ? 1U : 0U)) {
    return std::nullopt;
  }
  return std::stoi(digits);
}

void ReadPropagation(const std::string& field, MountEntry& entry) {
  if (const auto shared = NumberAfter(field, "shared:")) {
    entry.SharedGroup = *shared;
  } else if (const auto master = NumberAfter(field, "master:")) {
    entry.MasterGroup = *master;
  }
}

}  // namespace

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
    for (std::size_t optional = 6; optional < separator; ++optional) {
      ReadPropagation(fields[optional], entry);
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
    SwapEntry entry{UnescapeMountField(fields[0]), fields[1]};
    if (fields.size() >= 5) {
      entry.Priority = NumberAfter(fields[4], "").value_or(0);
    }
    entries.push_back(entry);
  }
  return entries;
}

}  // namespace vellumar::platform

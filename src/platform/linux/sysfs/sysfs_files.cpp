#include "platform/linux/sysfs/sysfs_files.h"

#include <dirent.h>
#include <sys/stat.h>

#include <climits>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <memory>

namespace vellumar::platform {

std::string JoinPath(std::initializer_list<std::string_view> parts) {
  std::size_t size = 0;
  for (const std::string_view part : parts) {
    size += part.size();
  }
  std::string path;
  path.reserve(size);
  for (const std::string_view part : parts) {
    path += part;
  }
  return path;
}

std::optional<std::string> ReadAttribute(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  if (!file) {
    return std::nullopt;
  }
  std::string text;
  // A sysfs attribute can fail its read (wwid of a disk without an identification page gives
  // ENXIO), and libstdc++ reports that by throwing from the stream buffer.
  try {
    text.assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
  } catch (const std::ios_base::failure&) {
    return std::nullopt;
  }
  if (file.bad()) {
    return std::nullopt;
  }
  while (!text.empty() && (text.back() == '\n' || text.back() == ' ' || text.back() == '\t')) {
    text.pop_back();
  }
  return text;
}

std::optional<std::vector<std::uint8_t>> ReadBinaryFile(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  if (!file) {
    return std::nullopt;
  }
  std::vector<std::uint8_t> bytes;
  char c = 0;
  while (file.get(c)) {
    bytes.push_back(static_cast<std::uint8_t>(c));
  }
  if (file.bad()) {
    return std::nullopt;
  }
  return bytes;
}

std::string ReadTextFile(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  try {
    return std::string((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  } catch (const std::ios_base::failure&) {
    return "";
  }
}

std::vector<std::string> ListFolder(const std::string& path) {
  std::vector<std::string> names;
  const std::unique_ptr<DIR, int (*)(DIR*)> folder(::opendir(path.c_str()), ::closedir);
  if (!folder) {
    return names;
  }
  while (const dirent* entry = ::readdir(folder.get())) {
    const std::string name = entry->d_name;
    if (name != "." && name != "..") {
      names.push_back(name);
    }
  }
  return names;
}

std::optional<std::string> ResolvedPath(const std::string& path) {
  const std::unique_ptr<char, void (*)(void*)> resolved(::realpath(path.c_str(), nullptr), std::free);
  if (!resolved) {
    return std::nullopt;
  }
  return std::string(resolved.get());
}

bool PathExists(const std::string& path) {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0;
}

bool ParseDevNumbers(const std::string& text, unsigned& major, unsigned& minor) {
  const std::size_t colon = text.find(':');
  if (colon == std::string::npos || colon == 0 || colon + 1 >= text.size()) {
    return false;
  }
  try {
    std::size_t used = 0;
    const unsigned long high = std::stoul(text.substr(0, colon), &used);
    if (used != colon) {
      return false;
    }
    const std::string rest = text.substr(colon + 1);
    const unsigned long low = std::stoul(rest, &used);
    if (used != rest.size() || high > UINT_MAX || low > UINT_MAX) {
      return false;
    }
    major = static_cast<unsigned>(high);
    minor = static_cast<unsigned>(low);
    return true;
  } catch (const std::exception&) {
    return false;
  }
}

std::string BaseName(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace vellumar::platform

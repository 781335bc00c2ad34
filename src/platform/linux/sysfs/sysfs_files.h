#pragma once

#include <cstdint>
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vellumar::platform {

// Small readers for sysfs and /proc files. Every path is absolute; the roots are the caller's.

// The parts joined into one path text, in one allocation.
std::string JoinPath(std::initializer_list<std::string_view> parts);

// The last part of a path ("sdb" of "/sys/block/sdb"); the whole text when it has no slash.
std::string BaseName(const std::string& path);

// The file's text with trailing line breaks and blanks removed; nullopt when it cannot be read.
std::optional<std::string> ReadAttribute(const std::string& path);
// The file's bytes; nullopt when it cannot be read.
std::optional<std::vector<std::uint8_t>> ReadBinaryFile(const std::string& path);
// The whole file as text; empty when it cannot be read.
std::string ReadTextFile(const std::string& path);
// The entries of a folder (without . and ..), unsorted; empty when it cannot be listed.
std::vector<std::string> ListFolder(const std::string& path);
// The path with every symbolic link resolved; nullopt when it does not exist.
std::optional<std::string> ResolvedPath(const std::string& path);
bool PathExists(const std::string& path);
// "major:minor" of a sysfs `dev` attribute.
bool ParseDevNumbers(const std::string& text, unsigned& major, unsigned& minor);

}  // namespace vellumar::platform

#include "platform/linux/sysfs/sysfs_disks.h"

#include <algorithm>
#include <cstdint>
#include <regex>

#include "platform/linux/sysfs/sysfs_files.h"

namespace vellumar::platform {

namespace {

struct NameToken {
  bool IsNumber = false;
  std::string Text;
  std::uint64_t Number = 0;
};

// The disks named with letters count a, b, ... z, aa, ab: bijective base 26.
std::uint64_t LetterIndex(const std::string& letters) {
  std::uint64_t index = 0;
  for (const char c : letters) {
    index = index * 26 + static_cast<std::uint64_t>(c - 'a' + 1);
  }
  return index - 1;
}

std::vector<NameToken> Tokens(const std::string& name) {
  static const std::regex lettered("^(sd|hd|vd|xvd)([a-z]+)$");
  std::smatch match;
  if (std::regex_match(name, match, lettered)) {
    return {NameToken{false, match[1].str(), 0}, NameToken{true, "", LetterIndex(match[2].str())}};
  }
  std::vector<NameToken> tokens;
  std::size_t i = 0;
  while (i < name.size()) {
    const bool digit = name[i] >= '0' && name[i] <= '9';
    std::size_t j = i;
    while (j < name.size() && ((name[j] >= '0' && name[j] <= '9') == digit)) {
      ++j;
    }
    NameToken token;
    token.IsNumber = digit;
    token.Text = name.substr(i, j - i);
    if (digit) {
      // Kernel numbers are far below 2^64; cut absurd ones rather than overflow.
      for (const char c : token.Text.substr(0, 18)) {
        token.Number = token.Number * 10 + static_cast<std::uint64_t>(c - '0');
      }
    }
    tokens.push_back(token);
    i = j;
  }
  return tokens;
}

bool LoopUsable(const std::string& blockDir, bool readOnlyToo) {
  // An unattached loop device has no loop/ folder; a read-only one (a mounted package image)
  // cannot be formatted.
  if (!PathExists(blockDir + "/loop")) {
    return false;
  }
  const std::optional<std::string> readOnly = ReadAttribute(blockDir + "/ro");
  return readOnlyToo || (readOnly && *readOnly == "0");
}

}  // namespace

bool IsCandidateDiskName(const std::string& name) {
  static const std::regex candidate("^((sd|hd|vd|xvd)[a-z]+|nvme[0-9]+n[0-9]+|mmcblk[0-9]+|loop[0-9]+)$");
  return std::regex_match(name, candidate);
}

bool NaturalDiskLess(const std::string& a, const std::string& b) {
  // Image-backed loop disks come after every real drive, so attaching one never renumbers them.
  const bool loopA = a.rfind("loop", 0) == 0;
  const bool loopB = b.rfind("loop", 0) == 0;
  if (loopA != loopB) {
    return loopB;
  }
  const std::vector<NameToken> left = Tokens(a);
  const std::vector<NameToken> right = Tokens(b);
  for (std::size_t i = 0; i < left.size() && i < right.size(); ++i) {
    const NameToken& l = left[i];
    const NameToken& r = right[i];
    if (l.IsNumber != r.IsNumber) {
      return l.IsNumber;
    }
    if (l.IsNumber && l.Number != r.Number) {
      return l.Number < r.Number;
    }
    if (!l.IsNumber && l.Text != r.Text) {
      return l.Text < r.Text;
    }
  }
  if (left.size() != right.size()) {
    return left.size() < right.size();
  }
  return a < b;
}

std::vector<std::string> ListCandidateDisks(const std::string& sysfsRoot, bool readOnlyToo) {
  std::vector<std::string> disks;
  for (const std::string& name : ListFolder(sysfsRoot + "/block")) {
    if (!IsCandidateDiskName(name)) {
      continue;
    }
    const std::string blockDir = JoinPath({sysfsRoot, "/block/", name});
    if (ReadAttribute(blockDir + "/hidden").value_or("0") == "1") {
      continue;
    }
    if (name.rfind("loop", 0) == 0 && !LoopUsable(blockDir, readOnlyToo)) {
      continue;
    }
    disks.push_back(name);
  }
  std::sort(disks.begin(), disks.end(), NaturalDiskLess);
  return disks;
}

std::optional<std::string> BlockNameOf(const std::string& sysfsRoot, unsigned major, unsigned minor) {
  const std::optional<std::string> resolved =
      ResolvedPath(sysfsRoot + "/dev/block/" + std::to_string(major) + ":" + std::to_string(minor));
  if (!resolved) {
    return std::nullopt;
  }
  return resolved->substr(resolved->find_last_of('/') + 1);
}

}  // namespace vellumar::platform

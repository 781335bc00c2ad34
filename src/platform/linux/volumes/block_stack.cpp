#include "platform/linux/volumes/block_stack.h"

#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <vector>

#include "platform/linux/sysfs/sysfs_disks.h"
#include "platform/linux/sysfs/sysfs_files.h"

namespace vellumar::platform {

namespace {

// What lies under a loop device: the disk it is attached to, or the one holding its file.
std::optional<std::string> UnderLoop(const std::string& sysfsRoot, const std::string& name) {
  const std::optional<std::string> file = LoopBackingFile(sysfsRoot, name);
  struct stat info {};
  if (!file || ::stat(file->c_str(), &info) != 0) {
    return std::nullopt;
  }
  const dev_t under = S_ISBLK(info.st_mode) ? info.st_rdev : info.st_dev;
  return BlockNameOf(sysfsRoot, ::major(under), ::minor(under));
}

}  // namespace

std::optional<DevNumbers> DevNumbersOfBlock(const std::string& sysfsRoot, const std::string& name) {
  DevNumbers numbers;
  if (ParseDevNumbers(ReadAttribute(JoinPath({sysfsRoot, "/class/block/", name, "/dev"})).value_or(""), numbers.first,
                      numbers.second)) {
    return numbers;
  }
  return std::nullopt;
}

std::optional<DevNumbers> DevNumbersOfNode(const std::string& sysfsRoot, const std::string& path) {
  if (const auto numbers = DevNumbersOfBlock(sysfsRoot, BaseName(path))) {
    return numbers;
  }
  struct stat info {};
  if (::stat(path.c_str(), &info) == 0 && S_ISBLK(info.st_mode)) {
    return DevNumbers{::major(info.st_rdev), ::minor(info.st_rdev)};
  }
  return std::nullopt;
}

std::optional<DevNumbers> DevNumbersOfMount(const std::string& sysfsRoot, const MountEntry& entry) {
  if (entry.Major != 0) {
    return DevNumbers{entry.Major, entry.Minor};
  }
  if (!entry.Source.empty() && entry.Source.front() == '/') {
    return DevNumbersOfNode(sysfsRoot, entry.Source);
  }
  return std::nullopt;
}

std::optional<std::string> LoopBackingFile(const std::string& sysfsRoot, const std::string& name) {
  std::string file = ReadAttribute(JoinPath({sysfsRoot, "/block/", name, "/loop/backing_file"})).value_or("");
  // The kernel marks a backing file that was deleted meanwhile.
  constexpr std::string_view kDeleted = " (deleted)";
  if (file.size() > kDeleted.size() && file.compare(file.size() - kDeleted.size(), kDeleted.size(), kDeleted) == 0) {
    file.resize(file.size() - kDeleted.size());
  }
  if (file.empty()) {
    return std::nullopt;
  }
  return file;
}

std::set<std::string> BlockStack(const std::string& sysfsRoot, const std::string& name, bool throughLoops) {
  std::set<std::string> stack;
  std::vector<std::string> pending{name};
  while (!pending.empty()) {
    const std::string current = pending.back();
    pending.pop_back();
    if (!stack.insert(current).second) {
      continue;
    }
    const std::string classDir = JoinPath({sysfsRoot, "/class/block/", current});
    if (PathExists(classDir + "/partition")) {
      const std::string resolved = ResolvedPath(classDir).value_or("");
      pending.push_back(BaseName(resolved.substr(0, resolved.find_last_of('/'))));
      continue;
    }
    for (const std::string& lower : ListFolder(classDir + "/slaves")) {
      pending.push_back(lower);
    }
    if (throughLoops) {
      if (const auto under = UnderLoop(sysfsRoot, current)) {
        pending.push_back(*under);
      }
    }
  }
  return stack;
}

}  // namespace vellumar::platform

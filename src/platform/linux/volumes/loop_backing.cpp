#include "platform/linux/volumes/loop_backing.h"

#include <fcntl.h>
#include <linux/loop.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <algorithm>
#include <string_view>

#include "platform/linux/io/unique_fd.h"
#include "platform/linux/sysfs/sysfs_files.h"
#include "platform/linux/volumes/block_stack.h"

namespace vellumar::platform {

namespace {

constexpr std::string_view kDeletedMark = " (deleted)";

// The kernel's 64-bit device encoding of loop_info64.
dev_t KernelDev(std::uint64_t encoded) {
  const auto major = static_cast<unsigned>((encoded & 0xfff00U) >> 8);
  const auto minor = static_cast<unsigned>((encoded & 0xffU) | ((encoded >> 12) & 0xfff00U));
  return ::makedev(major, minor);
}

bool FromDriver(const std::string& sysfsRoot, const std::string& devRoot, LoopBacking& loop) {
  const std::optional<DevNumbers> numbers = DevNumbersOfBlock(sysfsRoot, loop.Name);
  if (!numbers || ReadAttribute(JoinPath({sysfsRoot, "/block/", loop.Name, "/loop/autoclear"})).value_or("0") != "0") {
    return false;
  }
  const UniqueFd fd(::open((devRoot + "/" + loop.Name).c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
  struct stat info {};
  if (!fd || ::fstat(fd.Get(), &info) != 0 || !S_ISBLK(info.st_mode) ||
      info.st_rdev != ::makedev(numbers->first, numbers->second)) {
    return false;
  }
  loop_info64 status{};
  if (::ioctl(fd.Get(), LOOP_GET_STATUS64, &status) != 0) {
    return false;
  }
  loop.Backing.Dev = KernelDev(status.lo_device);
  loop.Backing.Ino = static_cast<ino_t>(status.lo_inode);
  loop.Backing.Rdev = KernelDev(status.lo_rdevice);
  loop.Backing.IsBlock = status.lo_rdevice != 0;
  loop.Resolved = true;
  return true;
}

bool EndsWith(const std::string& text, std::string_view tail) {
  return text.size() >= tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

}  // namespace

LoopProbe SystemLoopProbe(const std::string& sysfsRoot, const std::string& devRoot, FileStat stat) {
  return [sysfsRoot, devRoot, stat = std::move(stat)](const std::string& name) {
    LoopBacking loop;
    loop.Name = name;
    loop.Path = ReadAttribute(JoinPath({sysfsRoot, "/block/", name, "/loop/backing_file"})).value_or("");
    if (FromDriver(sysfsRoot, devRoot, loop) || loop.Path.empty() || EndsWith(loop.Path, kDeletedMark)) {
      return loop;
    }
    if (const std::optional<FileId> id = stat(loop.Path)) {
      loop.Backing = *id;
      loop.Resolved = true;
    }
    return loop;
  };
}

std::vector<LoopBacking> AttachedLoops(const std::string& sysfsRoot, const LoopProbe& probe) {
  std::vector<LoopBacking> loops;
  std::vector<std::string> names = ListFolder(sysfsRoot + "/block");
  std::sort(names.begin(), names.end());
  for (const std::string& name : names) {
    if (name.rfind("loop", 0) == 0 && PathExists(JoinPath({sysfsRoot, "/block/", name, "/loop/backing_file"}))) {
      loops.push_back(probe(name));
    }
  }
  return loops;
}

}  // namespace vellumar::platform

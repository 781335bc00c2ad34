#include "platform/linux/volumes/mount_pin.h"

#include <fcntl.h>
#include <sys/mount.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <map>
#include <sstream>
#include <vector>

namespace vellumar::platform {

namespace {

std::vector<std::string> Words(const std::string& options) {
  std::vector<std::string> words;
  std::istringstream stream(options);
  for (std::string word; std::getline(stream, word, ',');) {
    if (!word.empty()) {
      words.push_back(word);
    }
  }
  return words;
}

// The per-mount flags that mountinfo shows among a mount's own options.
unsigned MountAttributes(const std::string& options) {
  static const std::map<std::string, unsigned> kAttributes = {
      {"ro", MOUNT_ATTR_RDONLY},         {"nosuid", MOUNT_ATTR_NOSUID},          {"nodev", MOUNT_ATTR_NODEV},
      {"noexec", MOUNT_ATTR_NOEXEC},     {"noatime", MOUNT_ATTR_NOATIME},        {"nodiratime", MOUNT_ATTR_NODIRATIME},
      {"relatime", MOUNT_ATTR_RELATIME}, {"strictatime", MOUNT_ATTR_STRICTATIME}};
  unsigned attributes = 0;
  for (const std::string& word : Words(options)) {
    if (const auto found = kAttributes.find(word); found != kAttributes.end()) {
      attributes |= found->second;
    }
  }
  return attributes;
}

// A new superblock context for `type` on `source`; with `options`, the file system's own ones
// as mountinfo shows them (some are shown but not taken back: those are left out).
UniqueFd CreateFileSystem(const MountEntry& entry, const std::string& source, bool withOptions) {
  UniqueFd context(::fsopen(entry.FsType.c_str(), FSOPEN_CLOEXEC));
  if (!context || ::fsconfig(context.Get(), FSCONFIG_SET_STRING, "source", source.c_str(), 0) != 0) {
    return UniqueFd();
  }
  for (const std::string& word : withOptions ? Words(entry.SuperOptions) : std::vector<std::string>{}) {
    const std::size_t equals = word.find('=');
    if (word == "rw") {
      continue;
    }
    if (equals == std::string::npos) {
      ::fsconfig(context.Get(), FSCONFIG_SET_FLAG, word.c_str(), nullptr, 0);
    } else {
      ::fsconfig(context.Get(), FSCONFIG_SET_STRING, word.substr(0, equals).c_str(), word.substr(equals + 1).c_str(),
                 0);
    }
  }
  if (::fsconfig(context.Get(), FSCONFIG_CMD_CREATE, nullptr, nullptr, 0) != 0) {
    return UniqueFd();
  }
  return context;
}

}  // namespace

std::optional<MountPin> MountPin::Take(const MountEntry& entry, std::string& why) {
  const std::size_t slash = entry.MountPoint.find_last_of('/');
  if (entry.MountPoint.empty() || entry.MountPoint.front() != '/' || slash + 1 >= entry.MountPoint.size()) {
    why = "not a mount point that can be given back";
    return std::nullopt;
  }
  const std::string parent = slash == 0 ? "/" : entry.MountPoint.substr(0, slash);
  const std::string name = entry.MountPoint.substr(slash + 1);
  UniqueFd folder(::open(parent.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
  struct statx info {};
  if (!folder || ::statx(folder.Get(), name.c_str(), AT_SYMLINK_NOFOLLOW | AT_NO_AUTOMOUNT, STATX_MNT_ID, &info) != 0 ||
      (info.stx_mask & STATX_MNT_ID) == 0 || info.stx_mnt_id != static_cast<std::uint64_t>(entry.Id)) {
    why = "its mount point changed";
    return std::nullopt;
  }
  return MountPin(std::move(folder), name);
}

int MountPin::Unmount() {
  const std::string path = "/proc/self/fd/" + std::to_string(parent_.Get()) + "/" + name_;
  if (::umount2(path.c_str(), UMOUNT_NOFOLLOW) != 0) {
    return errno;
  }
  struct stat info {};
  if (::fstatat(parent_.Get(), name_.c_str(), &info, AT_SYMLINK_NOFOLLOW) == 0 && S_ISDIR(info.st_mode)) {
    folder_ = std::make_pair(info.st_dev, info.st_ino);
  }
  return 0;
}

std::string MountPin::Remount(const MountEntry& entry, const std::string& source, dev_t rdev) const {
  const std::string what = entry.Source + " on " + entry.MountPoint;
  const UniqueFd folder(::openat(parent_.Get(), name_.c_str(), O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
  struct stat info {};
  if (!folder_ || !folder || ::fstat(folder.Get(), &info) != 0 ||
      std::make_pair(info.st_dev, info.st_ino) != *folder_) {
    return "Volume could not be mounted again: " + what + " (its mount point changed)";
  }
  struct stat node {};
  if (::stat(source.c_str(), &node) != 0 || !S_ISBLK(node.st_mode) || node.st_rdev != rdev) {
    return "Volume could not be mounted again: " + what + " (its device node changed)";
  }
  UniqueFd context = CreateFileSystem(entry, source, true);
  if (!context) {
    context = CreateFileSystem(entry, source, false);
  }
  UniqueFd mount;
  if (context) {
    mount = UniqueFd(::fsmount(context.Get(), FSMOUNT_CLOEXEC, MountAttributes(entry.MountOptions)));
  }
  if (!mount ||
      ::move_mount(mount.Get(), "", folder.Get(), "", MOVE_MOUNT_F_EMPTY_PATH | MOVE_MOUNT_T_EMPTY_PATH) != 0) {
    return "Volume could not be mounted again: " + what + " (" + std::strerror(errno) + ")";
  }
  return "Volume mounted again: " + what;
}

}  // namespace vellumar::platform

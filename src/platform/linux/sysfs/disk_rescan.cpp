#include "platform/linux/sysfs/disk_rescan.h"

#include <fcntl.h>
#include <unistd.h>

#include <charconv>

#include "platform/linux/io/unique_fd.h"
#include "platform/linux/sysfs/sysfs_files.h"

namespace vellumar::platform {

std::optional<std::int64_t> RescanDiskSize(const std::string& sysfsRoot, const std::string& disk) {
  // sysfs is the kernel's own tree: no link in it leads anywhere a user controls.
  const UniqueFd rescan(
      ::open(JoinPath({sysfsRoot, "/class/block/", disk, "/device/rescan"}).c_str(), O_WRONLY | O_CLOEXEC));
  if (!rescan || ::write(rescan.Get(), "1", 1) != 1) {
    return std::nullopt;
  }
  const std::optional<std::string> size = ReadAttribute(JoinPath({sysfsRoot, "/class/block/", disk, "/size"}));
  std::int64_t sectors = 0;
  if (!size || std::from_chars(size->data(), size->data() + size->size(), sectors).ec != std::errc{}) {
    return std::nullopt;
  }
  return sectors;
}

}  // namespace vellumar::platform

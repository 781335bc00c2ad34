#include "platform/linux/io/drive_handle.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace vellumar::platform {

std::unique_ptr<DriveHandle> DriveHandle::Open(const std::string& path, const PinnedIdentity& expected,
                                               const std::string& sysfsRoot, std::string& error) {
  // An image file named by the user is never reached through a link swapped in later.
  UniqueFd fd(::open(path.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC | (expected.IsFile ? O_NOFOLLOW : 0)));
  if (!fd) {
    error = std::strerror(errno);
    return nullptr;
  }
  const std::string mismatch = CheckPinnedIdentity(fd.Get(), expected, sysfsRoot);
  if (!mismatch.empty()) {
    error = mismatch;
    return nullptr;
  }
  error.clear();
  return std::unique_ptr<DriveHandle>(new DriveHandle(std::move(fd), path));
}

}  // namespace vellumar::platform

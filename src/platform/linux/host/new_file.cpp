#include "platform/linux/host/new_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

namespace vellumar::platform {

NewFile::NewFile(int folder, std::string name, mode_t mode) : folder_(folder), name_(std::move(name)) {
  fd_.Reset(::openat(folder_, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, mode));
  if (!fd_ && (errno == EOPNOTSUPP || errno == EISDIR || errno == EINVAL)) {
    fd_.Reset(::openat(folder_, name_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode));
    named_ = static_cast<bool>(fd_);
  }
}

// The name goes with the file: a moved-from holder never removes it.
NewFile::NewFile(NewFile&& other) noexcept
    : folder_(other.folder_),
      name_(std::move(other.name_)),
      fd_(std::move(other.fd_)),
      named_(std::exchange(other.named_, false)) {}

bool NewFile::Write(const std::string& bytes) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t got = ::write(fd_.Get(), bytes.data() + done, bytes.size() - done);
    if (got < 0 && errno == EINTR) {
      continue;
    }
    if (got <= 0) {
      if (got == 0) {
        errno = ENOSPC;
      }
      return false;
    }
    done += static_cast<std::size_t>(got);
  }
  return ::fsync(fd_.Get()) == 0;
}

bool NewFile::Publish() {
  if (named_) {
    return true;
  }
  // Linking through the descriptor's /proc entry needs no capability (AT_EMPTY_PATH would), so
  // it also works with a user's file-system identity; linkat never replaces an existing name.
  const std::string self = "/proc/self/fd/" + std::to_string(fd_.Get());
  named_ = ::linkat(AT_FDCWD, self.c_str(), folder_, name_.c_str(), AT_SYMLINK_FOLLOW) == 0;
  return named_;
}

void NewFile::Discard() {
  if (named_) {
    ::unlinkat(folder_, name_.c_str(), 0);
    named_ = false;
  }
}

}  // namespace vellumar::platform

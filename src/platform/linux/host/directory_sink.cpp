#include "platform/linux/host/directory_sink.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/linux/io/unique_fd.h"

namespace vellumar::platform {

namespace {

bool WriteAll(int fd, const std::string& bytes) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t got = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (got < 0 && errno == EINTR) {
      continue;
    }
    if (got <= 0) {
      return false;
    }
    done += static_cast<std::size_t>(got);
  }
  return true;
}

}  // namespace

std::string CheckCertificateFolder(const std::string& folder) {
  const UniqueFd dir(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (!dir) {
    return folder + ": " + std::strerror(errno);
  }
  return "";
}

bool DirectorySink::Exists(const std::string& name) {
  const UniqueFd dir(::open(folder_.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  return dir && ::faccessat(dir.Get(), name.c_str(), F_OK, AT_SYMLINK_NOFOLLOW) == 0;
}

bool DirectorySink::WriteFile(const std::string& name, const std::string& bytes, std::string& error) {
  if (name.empty() || name.find('/') != std::string::npos || name[0] == '.') {
    error = "not a plain file name: " + name;
    return false;
  }
  const std::string path = folder_ + "/" + name;
  const UniqueFd dir(::open(folder_.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (!dir) {
    error = folder_ + ": " + std::strerror(errno);
    return false;
  }
  const UniqueFd file(::openat(dir.Get(), name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644));
  if (!file) {
    error = path + ": " + std::strerror(errno);
    return false;
  }
  bool ok = WriteAll(file.Get(), bytes);
  if (ok && owner_) {
    ok = ::fchown(file.Get(), owner_->first, owner_->second) == 0;
  }
  ok = ok && ::fsync(file.Get()) == 0;
  if (!ok) {
    error = path + ": " + std::strerror(errno);
    ::unlinkat(dir.Get(), name.c_str(), 0);
  }
  return ok;
}

}  // namespace vellumar::platform

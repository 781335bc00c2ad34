#include "platform/linux/host/user_files.h"

#include <fcntl.h>
#include <sys/fsuid.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <memory>
#include <vector>

#include "platform/linux/io/unique_fd.h"

namespace vellumar::platform {

namespace {

constexpr int kSafeOpen = O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | O_NOCTTY;

std::string Reason(const char* what, int code) { return std::string(what) + ": " + std::strerror(code); }

// Creates the folders above `path` that are missing, one component at a time.
bool CreateParentFolders(const std::string& path, std::string& error) {
  std::size_t slash = path.find('/', 1);
  while (slash != std::string::npos) {
    const std::string folder = path.substr(0, slash);
    if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) {
      error = Reason(("cannot create " + folder).c_str(), errno);
      return false;
    }
    slash = path.find('/', slash + 1);
  }
  return true;
}

}  // namespace

ScopedFileIdentity::ScopedFileIdentity(const vellumar::UserAccount& user) {
  if (user.Uid == ::geteuid()) {
    ok_ = true;
    return;
  }
  // setfsuid answers with the previous value and never reports failure; asking again with an
  // impossible id tells what took.
  savedGid_ = static_cast<gid_t>(::setfsgid(static_cast<gid_t>(user.Gid)));
  savedUid_ = static_cast<uid_t>(::setfsuid(static_cast<uid_t>(user.Uid)));
  switched_ = true;
  ok_ = static_cast<uid_t>(::setfsuid(static_cast<uid_t>(-1))) == user.Uid &&
        static_cast<gid_t>(::setfsgid(static_cast<gid_t>(-1))) == user.Gid;
}

ScopedFileIdentity::~ScopedFileIdentity() {
  if (switched_) {
    ::setfsuid(savedUid_);
    ::setfsgid(savedGid_);
  }
}

UserFiles::UserFiles(std::optional<vellumar::UserAccount> owner) : owner_(std::move(owner)) {}

std::optional<std::string> UserFiles::ReadSmallFile(const std::string& path, std::size_t maxBytes) {
  std::unique_ptr<ScopedFileIdentity> identity;
  if (owner_) {
    identity = std::make_unique<ScopedFileIdentity>(*owner_);
    if (!identity->Ok()) {
      return std::nullopt;
    }
  }
  const UniqueFd file(::open(path.c_str(), O_RDONLY | kSafeOpen));
  struct stat info {};
  if (!file || ::fstat(file.Get(), &info) != 0 || !S_ISREG(info.st_mode)) {
    return std::nullopt;
  }
  std::string content(maxBytes, '\0');
  std::size_t got = 0;
  while (got < maxBytes) {
    const ssize_t n = ::read(file.Get(), content.data() + got, maxBytes - got);
    if (n < 0 && errno == EINTR) {
      continue;
    }
    if (n < 0) {
      return std::nullopt;
    }
    if (n == 0) {
      break;
    }
    got += static_cast<std::size_t>(n);
  }
  content.resize(got);
  return content;
}

bool UserFiles::WriteSmallFile(const std::string& path, const std::string& bytes) {
  std::string ignored;
  return WriteFile(path, bytes, 0644, ignored);
}

bool UserFiles::WriteFile(const std::string& path, const std::string& bytes, mode_t mode, std::string& error) {
  if (path.empty() || path.front() != '/') {
    error = "not an absolute path: " + path;
    return false;
  }
  std::unique_ptr<ScopedFileIdentity> identity;
  if (owner_) {
    identity = std::make_unique<ScopedFileIdentity>(*owner_);
    if (!identity->Ok()) {
      error = "cannot take the user's identity";
      return false;
    }
  }
  if (!CreateParentFolders(path, error)) {
    return false;
  }
  // No O_TRUNC: nothing is cut before the file is known to be the user's regular file.
  UniqueFd file(::open(path.c_str(), O_WRONLY | O_CREAT | kSafeOpen, mode));
  if (!file) {
    error = Reason(("cannot open " + path).c_str(), errno);
    return false;
  }
  struct stat info {};
  if (::fstat(file.Get(), &info) != 0 || !S_ISREG(info.st_mode)) {
    error = path + " is not a regular file";
    return false;
  }
  if (info.st_uid != static_cast<uid_t>(::setfsuid(static_cast<uid_t>(-1)))) {
    error = path + " belongs to someone else";
    return false;
  }
  if (::ftruncate(file.Get(), 0) != 0) {
    error = Reason(("cannot truncate " + path).c_str(), errno);
    return false;
  }
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::write(file.Get(), bytes.data() + done, bytes.size() - done);
    if (n < 0 && (errno == EINTR || errno == EAGAIN)) {
      continue;
    }
    if (n <= 0) {
      error = Reason(("cannot write " + path).c_str(), errno);
      return false;
    }
    done += static_cast<std::size_t>(n);
  }
  // The file system may report a failed write only when the file is closed.
  if (file.Close() != 0) {
    error = Reason(("cannot write " + path).c_str(), errno);
    return false;
  }
  return true;
}

}  // namespace vellumar::platform

#include "platform/linux/host/own_files.h"

#include <fcntl.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/linux/host/new_file.h"
#include "platform/linux/io/unique_fd.h"

namespace vellumar::platform {

namespace {

std::string Octal(mode_t mode) {
  std::string text;
  for (int shift = 9; shift >= 0; shift -= 3) {
    text += static_cast<char>('0' + ((mode >> static_cast<unsigned>(shift)) & 7U));
  }
  return text;
}

// Opens, checks it is a regular file with `check`, and reads it whole.
template <typename Check>
bool ReadChecked(int folder, const std::string& name, std::size_t maxBytes, std::string& bytes, bool& missing,
                 std::string& error, Check check) {
  missing = false;
  const UniqueFd fd(::openat(folder, name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
  struct stat info {};
  if (!fd || ::fstat(fd.Get(), &info) != 0) {
    const int cause = errno;
    missing = cause == ENOENT;
    error = name + ": " + (cause == ELOOP ? "a link; name the file itself" : std::strerror(cause));
    return false;
  }
  if (!S_ISREG(info.st_mode) || static_cast<std::size_t>(info.st_size) > maxBytes) {
    error = name + (S_ISREG(info.st_mode) ? ": too large" : ": not a regular file");
    return false;
  }
  if (const std::string refusal = check(info); !refusal.empty()) {
    error = name + ": " + refusal;
    return false;
  }
  bytes.assign(static_cast<std::size_t>(info.st_size), '\0');
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t got = ::read(fd.Get(), bytes.data() + done, bytes.size() - done);
    if (got < 0 && errno == EINTR) {
      continue;
    }
    if (got <= 0) {
      error = name + ": " + (got == 0 ? "shorter than it was" : std::strerror(errno));
      return false;
    }
    done += static_cast<std::size_t>(got);
  }
  return true;
}

}  // namespace

FileRead ReadOwnFile(const std::string& path, FileTrust trust, std::size_t maxBytes, std::string& bytes,
                     std::string& error) {
  const uid_t self = ::geteuid();
  const auto check = [trust, self](const struct stat& info) -> std::string {
    const mode_t mode = info.st_mode & 07777;
    if (trust == FileTrust::Private && (info.st_uid != self || (mode & 077) != 0)) {
      return "a private key must belong to this user (uid " + std::to_string(self) + ") with mode 0600; it has uid " +
             std::to_string(info.st_uid) + ", mode " + Octal(mode);
    }
    if (trust == FileTrust::Protected && ((info.st_uid != self && info.st_uid != 0) || (mode & 022) != 0)) {
      return "others could change it (uid " + std::to_string(info.st_uid) + ", mode " + Octal(mode) + ")";
    }
    return "";
  };
  bool missing = false;
  if (ReadChecked(AT_FDCWD, path, maxBytes, bytes, missing, error, check)) {
    return FileRead::Read;
  }
  return missing ? FileRead::Missing : FileRead::Refused;
}

bool CreatePrivateFile(const std::string& path, const std::string& bytes, bool& taken, std::string& error) {
  taken = false;
  const auto slash = path.find_last_of('/');
  const std::string folder = slash == std::string::npos ? "." : (slash == 0 ? "/" : path.substr(0, slash));
  const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  if (::mkdir(folder.c_str(), 0755) != 0 && errno != EEXIST) {
    error = folder + ": " + std::strerror(errno);
    return false;
  }
  const UniqueFd dir(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
  if (!dir) {
    error = folder + ": " + std::strerror(errno);
    return false;
  }
  NewFile file(dir.Get(), name, 0600);
  if (!file.Ok() || !file.Write(bytes) || !file.Publish()) {
    const int cause = errno;
    taken = cause == EEXIST;
    error = path + ": " + std::strerror(cause);
    file.Discard();
    return false;
  }
  ::fsync(dir.Get());
  return true;
}

bool ReadRegularFile(int folder, const std::string& name, std::size_t maxBytes, std::string& bytes, bool& missing,
                     std::string& error) {
  return ReadChecked(folder, name, maxBytes, bytes, missing, error, [](const struct stat&) { return std::string(); });
}

bool RandomBytes(std::uint8_t* out, std::size_t count) {
  std::size_t done = 0;
  while (done < count) {
    const ssize_t got = ::getrandom(out + done, count - done, 0);
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

}  // namespace vellumar::platform

#include "platform/linux/host/directory_sink.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <ctime>

#include "platform/linux/host/new_file.h"

namespace vellumar::platform {

namespace {

std::string Why(const std::string& path) { return path + ": " + std::strerror(errno); }

bool PlainName(const std::string& name) {
  return !name.empty() && name.find('/') == std::string::npos && name[0] != '.';
}

}  // namespace

std::unique_ptr<DirectorySink> DirectorySink::Open(const std::string& folder, std::string& error) {
  UniqueFd dir(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
  struct stat info {};
  if (!dir || ::fstat(dir.Get(), &info) != 0) {
    error = errno == ENOTDIR ? folder + ": not a folder (or a link to one; name the folder itself)" : Why(folder);
    return nullptr;
  }
  if ((info.st_mode & S_IWOTH) != 0 && (info.st_mode & S_ISVTX) == 0) {
    error = folder +
            ": others can write to this folder and could replace the certificate; use another folder "
            "or set its sticky bit (chmod +t)";
    return nullptr;
  }
  // The real test: a file made and removed the way the certificate will be.
  timespec now{};
  ::clock_gettime(CLOCK_REALTIME, &now);
  NewFile probe(dir.Get(), ".vellumar-probe-" + std::to_string(::getpid()) + "-" + std::to_string(now.tv_nsec), 0600);
  const bool ok = probe.Ok() && probe.Write("") && probe.Publish();
  const int cause = errno;
  probe.Discard();
  if (!ok) {
    errno = cause;
    error = Why(folder);
    return nullptr;
  }
  return std::unique_ptr<DirectorySink>(new DirectorySink(folder, std::move(dir)));
}

bool DirectorySink::Exists(const std::string& name) {
  return ::faccessat(dir_.Get(), name.c_str(), F_OK, AT_SYMLINK_NOFOLLOW) == 0;
}

bool DirectorySink::WriteFiles(const std::vector<vellumar::CertificateFile>& files, std::string& error) {
  std::vector<NewFile> made;
  made.reserve(files.size());
  const auto fail = [&](const std::string& name) {
    error = Why(folder_ + "/" + name);
    for (NewFile& file : made) {
      file.Discard();
    }
    return false;
  };
  for (const vellumar::CertificateFile& file : files) {
    if (!PlainName(file.Name)) {
      error = "not a plain file name: " + file.Name;
      return false;
    }
  }
  // Every file whole on the medium before any of them gets its name.
  for (const vellumar::CertificateFile& file : files) {
    made.emplace_back(dir_.Get(), file.Name, 0644);
    NewFile& written = made.back();
    if (!written.Ok() || (owner_ && ::fchown(written.Fd(), owner_->first, owner_->second) != 0) ||
        !written.Write(file.Bytes)) {
      return fail(file.Name);
    }
  }
  for (NewFile& file : made) {
    if (!file.Publish()) {
      return fail(file.Name());
    }
  }
  ::fsync(dir_.Get());
  return true;
}

}  // namespace vellumar::platform

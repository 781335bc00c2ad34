#include "platform/linux/io/linux_block_device.h"

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <fstream>

#include "platform/linux/io/errno_map.h"
#include "platform/linux/io/read_only_device.h"

namespace vellumar::platform {

namespace {

// Direct I/O on a file moves whole blocks of the file system it lives on: at most 4096 bytes
// on the file systems an image file sits on.
constexpr std::int64_t kDirectIoUnit = 4096;

std::string DevicePart(const std::string& sysfsRoot, dev_t rdev) {
  return sysfsRoot + "/dev/block/" + std::to_string(major(rdev)) + ":" + std::to_string(minor(rdev));
}

}  // namespace

bool ReadGeometry(const std::string& path, DeviceGeometry& geometry) {
  UniqueFd fd(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
  if (!fd) {
    return false;
  }
  struct stat info {};
  bool ok = ::fstat(fd.Get(), &info) == 0;
  if (ok && S_ISREG(info.st_mode)) {
    geometry.IsRegularFile = true;
    geometry.SizeBytes = info.st_size;
    geometry.LogicalSectorSize = 512;
    geometry.Rdev = 0;
  } else if (ok && S_ISBLK(info.st_mode)) {
    std::uint64_t bytes = 0;
    int sector = 0;
    ok = ::ioctl(fd.Get(), BLKGETSIZE64, &bytes) == 0 && ::ioctl(fd.Get(), BLKSSZGET, &sector) == 0;
    geometry.IsRegularFile = false;
    geometry.SizeBytes = static_cast<std::int64_t>(bytes);
    geometry.LogicalSectorSize = sector;
    geometry.Rdev = info.st_rdev;
  } else if (ok) {
    errno = ENOTBLK;
    ok = false;
  }
  const int saved = errno;
  fd.Reset();
  errno = saved;
  return ok;
}

bool DiskVanished(const std::string& sysfsRoot, dev_t rdev, std::uint64_t diskSeq) {
  const std::string entry = DevicePart(sysfsRoot, rdev);
  if (::access(entry.c_str(), F_OK) != 0) {
    return true;
  }
  std::ifstream state(entry + "/device/state");
  std::string word;
  if (state >> word && (word == "offline" || word == "transport-offline" || word == "deleted" || word == "dead")) {
    return true;
  }
  std::ifstream sequence(entry + "/diskseq");
  std::uint64_t now = 0;
  return diskSeq != 0 && sequence >> now && now != diskSeq;
}

std::uint64_t ReadDiskSeq(int fd) {
  std::uint64_t sequence = 0;
  return ::ioctl(fd, BLKGETDISKSEQ, &sequence) == 0 ? sequence : 0;
}

std::int64_t SteadyNowMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

UniqueFd OpenBlockOrImage(const std::string& path, int flags, int& error, struct stat& info) {
  UniqueFd fd(::open(path.c_str(), flags | O_DIRECT | O_CLOEXEC));
  if (!fd && errno == EINVAL) {
    // Some file systems (tmpfs) refuse direct I/O for image files; a final flush covers them.
    fd.Reset(::open(path.c_str(), flags | O_CLOEXEC));
  }
  if (!fd) {
    error = errno;
    return {};
  }
  if (::fstat(fd.Get(), &info) != 0 || !(S_ISBLK(info.st_mode) || S_ISREG(info.st_mode))) {
    error = errno != 0 ? errno : ENOTBLK;
    return {};
  }
  error = 0;
  return fd;
}

std::unique_ptr<LinuxBlockDevice> LinuxBlockDevice::OpenExclusive(const std::string& path, const std::string& sysfsRoot,
                                                                  int& error, bool noFollow) {
  struct stat info {};
  UniqueFd fd = OpenBlockOrImage(path, O_RDWR | O_EXCL | (noFollow ? O_NOFOLLOW : 0), error, info);
  if (!fd) {
    return nullptr;
  }
  const bool isFile = S_ISREG(info.st_mode);
  return std::unique_ptr<LinuxBlockDevice>(
      new LinuxBlockDevice(std::move(fd), sysfsRoot, isFile ? 0 : info.st_rdev, isFile));
}

LinuxBlockDevice::LinuxBlockDevice(UniqueFd fd, std::string sysfsRoot, dev_t rdev, bool isFile)
    : fd_(std::move(fd)), sysfsRoot_(std::move(sysfsRoot)), rdev_(rdev), isFile_(isFile) {}

std::int64_t LinuxBlockDevice::Seek(std::int64_t offset) {
  const off_t position = ::lseek(fd_.Get(), static_cast<off_t>(offset), SEEK_SET);
  return position < 0 ? -1 : static_cast<std::int64_t>(position);
}

void LinuxBlockDevice::WatchPresence(std::function<bool()> gone, std::function<std::int64_t()> nowMs,
                                     std::int64_t intervalMs) {
  gone_ = std::move(gone);
  nowMs_ = std::move(nowMs);
  intervalMs_ = intervalMs;
  lastCheckMs_ = nowMs_();
}

bool LinuxBlockDevice::Gone() {
  if (!vanished_) {
    vanished_ = gone_ ? gone_() : (!isFile_ && DiskVanished(sysfsRoot_, rdev_));
  }
  return vanished_;
}

bool LinuxBlockDevice::PresenceDue() {
  if (!gone_ || !nowMs_) {
    return false;
  }
  const std::int64_t now = nowMs_();
  if (now - lastCheckMs_ < intervalMs_) {
    return false;
  }
  lastCheckMs_ = now;
  return true;
}

std::uint32_t LinuxBlockDevice::MapFailure(int error) {
  // An unplugged disk fails with ENODEV mostly, but with ENOSPC once its size dropped to zero.
  if (Gone()) {
    return kErrorDevNotExist;
  }
  return MapWriteErrno(error);
}

vellumar::WriteOutcome LinuxBlockDevice::Write(const std::uint8_t* data, std::int64_t length) {
  if (vanished_ || (PresenceDue() && Gone())) {
    return {0, kErrorDevNotExist};
  }
  if (!isFile_ || length % kDirectIoUnit == 0) {
    return WriteAll(data, length);
  }
  // The last bytes of an image file whose size is not a whole number of blocks: direct I/O takes
  // only whole blocks, so this one write goes through the page cache (the final flush covers it).
  const int flags = ::fcntl(fd_.Get(), F_GETFL);
  if (flags < 0 || (flags & O_DIRECT) == 0) {
    return WriteAll(data, length);
  }
  ::fcntl(fd_.Get(), F_SETFL, flags & ~O_DIRECT);
  const vellumar::WriteOutcome outcome = WriteAll(data, length);
  ::fcntl(fd_.Get(), F_SETFL, flags);
  return outcome;
}

vellumar::WriteOutcome LinuxBlockDevice::WriteAll(const std::uint8_t* data, std::int64_t length) {
  std::int64_t written = 0;
  while (written < length) {
    const ssize_t got = ::write(fd_.Get(), data + written, static_cast<std::size_t>(length - written));
    if (got < 0 && errno == EINTR) {
      continue;
    }
    if (got < 0) {
      return {written, MapFailure(errno)};
    }
    if (got == 0) {
      return {written, kErrorNone};
    }
    written += got;
  }
  return {written, kErrorNone};
}

std::uint32_t LinuxBlockDevice::Flush() {
  int result = 0;
  do {
    result = ::fsync(fd_.Get());
  } while (result != 0 && errno == EINTR);
  return result == 0 ? kErrorNone : MapFailure(errno);
}

vellumar::ReadOutcome LinuxBlockDevice::ReadAt(std::int64_t offset, std::uint8_t* data, std::int64_t length) {
  const RawRead raw = PreadFully(fd_.Get(), offset, data, length);
  if (raw.Read == length || raw.Error == 0) {
    return {raw.Read, kErrorNone};
  }
  // Several threads read at once, so this asks afresh and leaves the write path's record alone.
  const bool gone = gone_ ? gone_() : (!isFile_ && DiskVanished(sysfsRoot_, rdev_));
  return {raw.Read, gone ? kErrorDevNotExist : MapWriteErrno(raw.Error)};
}

std::string LinuxBlockDevice::RereadPartitionTable() {
  if (isFile_ || ::ioctl(fd_.Get(), BLKRRPART) == 0) {
    return {};
  }
  return std::strerror(errno);
}

}  // namespace vellumar::platform

#include "platform/linux/io/read_only_device.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/linux/io/errno_map.h"
#include "platform/linux/io/linux_block_device.h"

namespace vellumar::platform {

RawRead PreadFully(int fd, std::int64_t offset, std::uint8_t* data, std::int64_t length) {
  RawRead result;
  while (result.Read < length) {
    const ssize_t got = ::pread(fd, data + result.Read, static_cast<std::size_t>(length - result.Read),
                                static_cast<off_t>(offset + result.Read));
    if (got < 0 && errno == EINTR) {
      continue;
    }
    if (got <= 0) {
      result.Error = got < 0 ? errno : 0;
      break;
    }
    result.Read += got;
  }
  return result;
}

std::unique_ptr<LinuxReadOnlyDevice> LinuxReadOnlyDevice::Open(const std::string& path, const std::string& sysfsRoot,
                                                               int& error, bool exclusive) {
  struct stat info {};
  UniqueFd fd = OpenBlockOrImage(path, O_RDONLY | (exclusive ? O_EXCL : 0), error, info);
  if (!fd) {
    return nullptr;
  }
  const dev_t rdev = S_ISBLK(info.st_mode) ? info.st_rdev : 0;
  return std::unique_ptr<LinuxReadOnlyDevice>(new LinuxReadOnlyDevice(std::move(fd), sysfsRoot, rdev));
}

LinuxReadOnlyDevice::LinuxReadOnlyDevice(UniqueFd fd, std::string sysfsRoot, dev_t rdev)
    : fd_(std::move(fd)), sysfsRoot_(std::move(sysfsRoot)), rdev_(rdev) {}

std::int64_t LinuxReadOnlyDevice::Seek(std::int64_t offset) {
  const off_t position = ::lseek(fd_.Get(), static_cast<off_t>(offset), SEEK_SET);
  return position < 0 ? -1 : static_cast<std::int64_t>(position);
}

vellumar::WriteOutcome LinuxReadOnlyDevice::Write(const std::uint8_t* /*data*/, std::int64_t /*length*/) {
  return {0, vellumar::kErrorWriteProtect};
}

std::uint32_t LinuxReadOnlyDevice::Flush() { return vellumar::kErrorNone; }

vellumar::ReadOutcome LinuxReadOnlyDevice::Outcome(const RawRead& raw, std::int64_t length) const {
  if (raw.Read == length || raw.Error == 0) {
    return {raw.Read, vellumar::kErrorNone};
  }
  if (rdev_ != 0 && DiskVanished(sysfsRoot_, rdev_)) {
    return {raw.Read, vellumar::kErrorDevNotExist};
  }
  return {raw.Read, MapWriteErrno(raw.Error)};
}

vellumar::ReadOutcome LinuxReadOnlyDevice::ReadAt(std::int64_t offset, std::uint8_t* data, std::int64_t length) {
  return Outcome(PreadFully(fd_.Get(), offset, data, length), length);
}

}  // namespace vellumar::platform

#include "platform/linux/io/identity_pin.h"

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "devices/catalogue/storage_identification.h"
#include "platform/linux/io/linux_block_device.h"
#include "platform/linux/sysfs/linux_storage_facts.h"
#include "platform/linux/sysfs/sysfs_disks.h"

namespace vellumar::platform {

namespace {

// Identification logs through the debug log, which stays switched off here.
class SilentClock final : public vellumar::Clock {
 public:
  std::int64_t NowMs() override { return 0; }
  std::tm LocalTime() override { return std::tm{}; }
};

bool IdentityOfOpen(int fd, PinnedIdentity& identity, std::string& error) {
  struct stat info {};
  if (::fstat(fd, &info) != 0) {
    error = std::strerror(errno);
    return false;
  }
  identity = PinnedIdentity{};
  if (S_ISREG(info.st_mode)) {
    identity.IsFile = true;
    identity.FileDevice = info.st_dev;
    identity.FileInode = info.st_ino;
    identity.SizeBytes = info.st_size;
    return true;
  }
  if (!S_ISBLK(info.st_mode)) {
    error = "not a block device or image file";
    return false;
  }
  std::uint64_t bytes = 0;
  if (::ioctl(fd, BLKGETSIZE64, &bytes) != 0) {
    error = std::strerror(errno);
    return false;
  }
  identity.Rdev = info.st_rdev;
  identity.SizeBytes = static_cast<std::int64_t>(bytes);
  identity.DiskSeq = ReadDiskSeq(fd);
  return true;
}

}  // namespace

UniqueFd OpenForLook(const std::string& path, bool noFollow) {
  return UniqueFd(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | (noFollow ? O_NOFOLLOW : 0)));
}

bool ReadIdentity(const std::string& path, PinnedIdentity& identity, std::string& error, bool noFollow) {
  const UniqueFd fd = OpenForLook(path, noFollow);
  if (!fd) {
    error = std::strerror(errno);
    return false;
  }
  return IdentityOfOpen(fd.Get(), identity, error);
}

std::string ReadDriveSerial(int fd, const std::string& sysfsRoot, dev_t rdev) {
  const std::optional<std::string> disk = BlockNameOf(sysfsRoot, major(rdev), minor(rdev));
  if (!disk) {
    return "";
  }
  SilentClock clock;
  vellumar::LogSinks silent(clock, vellumar::LocaleSettings{});
  LinuxStorageFacts facts(fd, false, sysfsRoot, *disk);
  vellumar::TIdentifyDeviceData record;
  std::string fatal;
  if (vellumar::IdentifyStorageDevice(facts, record, silent, fatal) != 0) {
    return "";
  }
  return record.SN;
}

std::string CheckPinnedIdentity(int fd, const PinnedIdentity& expected, const std::string& sysfsRoot) {
  PinnedIdentity now;
  std::string error;
  if (!IdentityOfOpen(fd, now, error)) {
    return error;
  }
  if (now.IsFile != expected.IsFile || now.Rdev != expected.Rdev || now.FileDevice != expected.FileDevice ||
      now.FileInode != expected.FileInode) {
    return "the device node no longer names the drive that was listed";
  }
  if (now.SizeBytes != expected.SizeBytes) {
    return "the drive's size changed since it was listed";
  }
  if (expected.DiskSeq != 0 && now.DiskSeq != expected.DiskSeq) {
    return "the drive's medium changed since it was listed";
  }
  if (!expected.IsFile && !expected.Serial.empty() && ReadDriveSerial(fd, sysfsRoot, now.Rdev) != expected.Serial) {
    return "the drive's serial number changed since it was listed";
  }
  return "";
}

}  // namespace vellumar::platform

#include "platform/linux/format_target.h"

#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstring>

#include "platform/linux/identity_pin.h"

namespace vellumar::platform {

std::unique_ptr<vellumar::BlockDevice> LinuxFormatTarget::OpenExclusive() {
  lastError_ = 0;
  lastFailure_.clear();
  if (handOver_) {
    handOver_();
  }
  int error = 0;
  auto device = LinuxBlockDevice::OpenExclusive(path_, sysfsRoot_, error);
  if (!device) {
    lastError_ = error;
    lastFailure_ = std::strerror(error);
    return nullptr;
  }
  struct stat info {};
  std::int64_t size = 0;
  if (::fstat(device->Descriptor(), &info) != 0) {
    lastError_ = errno;
    lastFailure_ = std::strerror(errno);
    return nullptr;
  }
  if (S_ISREG(info.st_mode)) {
    size = info.st_size;
  } else {
    std::uint64_t bytes = 0;
    if (::ioctl(device->Descriptor(), BLKGETSIZE64, &bytes) != 0) {
      lastError_ = errno;
      lastFailure_ = std::strerror(errno);
      return nullptr;
    }
    size = static_cast<std::int64_t>(bytes);
  }
  const dev_t rdev = S_ISREG(info.st_mode) ? 0 : info.st_rdev;
  if (rdev != expected_.Rdev || size != expected_.SizeBytes) {
    // Never write to a disk the user did not confirm: the node now names another device.
    lastError_ = ENODEV;
    lastFailure_ = "the device node no longer names the drive that was chosen";
    return nullptr;
  }
  if (rdev != 0 && !expectedSerial_.empty() &&
      ReadDriveSerial(device->Descriptor(), sysfsRoot_, rdev) != expectedSerial_) {
    lastError_ = ENODEV;
    lastFailure_ = "the drive's serial number changed since it was listed";
    return nullptr;
  }
  return device;
}

void LinuxFormatTarget::RereadPartitions(vellumar::BlockDevice* openDevice) {
  if (auto* linuxDevice = dynamic_cast<LinuxBlockDevice*>(openDevice)) {
    linuxDevice->RereadPartitionTable();
  }
}

}  // namespace vellumar::platform

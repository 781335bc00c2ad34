#include "platform/linux/sysfs/linux_storage_facts.h"

#include <linux/fs.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/linux/sysfs/sysfs_bus.h"
#include "platform/linux/sysfs/sysfs_device_strings.h"
#include "platform/linux/sysfs/sysfs_files.h"

namespace vellumar::platform {

namespace {

vellumar::RequestStatus Failed(int error) {
  return vellumar::RequestStatus{false, static_cast<std::uint32_t>(error), std::strerror(error)};
}

}  // namespace

LinuxStorageFacts::LinuxStorageFacts(int fd, bool ownsFd, std::string sysfsRoot, std::string disk)
    : fd_(fd), owned_(ownsFd ? fd : -1), sysfsRoot_(std::move(sysfsRoot)), disk_(std::move(disk)) {}

vellumar::RequestStatus LinuxStorageFacts::Geometry(std::uint32_t& bytesPerSector) {
  int size = 0;
  if (::ioctl(fd_, BLKSSZGET, &size) != 0) {
    return Failed(errno);
  }
  bytesPerSector = size < 0 ? 0U : static_cast<std::uint32_t>(size);
  return {};
}

vellumar::RequestStatus LinuxStorageFacts::Length(std::int64_t& length) {
  std::uint64_t bytes = 0;
  if (::ioctl(fd_, BLKGETSIZE64, &bytes) != 0) {
    return Failed(errno);
  }
  if (bytes == 0) {
    // An empty card-reader slot: its length request fails, so it takes no place in the list.
    return Failed(ENOMEDIUM);
  }
  length = static_cast<std::int64_t>(bytes);
  return {};
}

bool LinuxStorageFacts::Adapter(vellumar::StorageAdapterFacts& adapter) {
  return ReadAdapterFacts(sysfsRoot_, disk_, adapter);
}

vellumar::RequestStatus LinuxStorageFacts::Device(vellumar::DescriptorBuffer& buffer) {
  if (!PathExists(sysfsRoot_ + "/block/" + disk_)) {
    return Failed(ENODEV);
  }
  const std::uint8_t bus = ClassifyBus(sysfsRoot_, disk_).value_or(0);
  buffer = vellumar::BuildDeviceDescriptor(ReadDeviceStrings(sysfsRoot_, disk_, bus, fd_));
  return {};
}

bool LinuxStorageFacts::DetectIdeSlave() { return platform::DetectIdeSlave(sysfsRoot_, disk_); }

}  // namespace vellumar::platform

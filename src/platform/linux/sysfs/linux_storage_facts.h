#pragma once

#include <string>

#include "devices/catalogue/storage_identification.h"
#include "platform/linux/io/unique_fd.h"

namespace vellumar::platform {

// The identification facts of one disk: sector size and length from the open node, the rest
// from sysfs (the descriptor is synthesised from what the disk reports there).
class LinuxStorageFacts final : public vellumar::StorageFacts {
 public:
  // `fd` is an open handle on the disk's node; with `ownsFd` it is closed with this object.
  LinuxStorageFacts(int fd, bool ownsFd, std::string sysfsRoot, std::string disk);
  LinuxStorageFacts(const LinuxStorageFacts&) = delete;
  LinuxStorageFacts& operator=(const LinuxStorageFacts&) = delete;

  vellumar::RequestStatus Geometry(std::uint32_t& bytesPerSector) override;
  vellumar::RequestStatus Length(std::int64_t& length) override;
  bool Adapter(vellumar::StorageAdapterFacts& adapter) override;
  vellumar::RequestStatus Device(vellumar::DescriptorBuffer& buffer) override;
  bool DetectIdeSlave() override;

  int Descriptor() const { return fd_; }

 private:
  int fd_;
  UniqueFd owned_;  // `fd_` when this object closes it
  std::string sysfsRoot_;
  std::string disk_;
};

}  // namespace vellumar::platform

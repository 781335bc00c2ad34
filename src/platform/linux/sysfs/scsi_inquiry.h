#pragma once

#include <cstdint>
#include <optional>
#include <vector>

namespace vellumar::platform {

// One vital product data page through SG_IO INQUIRY on an open device; nullopt when the device
// does not answer it (NVMe and virtio disks refuse SG_IO altogether).
std::optional<std::vector<std::uint8_t>> InquiryVpdPage(int fd, std::uint8_t page);

}  // namespace vellumar::platform

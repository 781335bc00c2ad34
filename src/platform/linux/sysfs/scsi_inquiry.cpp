#include "platform/linux/sysfs/scsi_inquiry.h"

#include <scsi/sg.h>
#include <sys/ioctl.h>

#include <array>

namespace vellumar::platform {

std::optional<std::vector<std::uint8_t>> InquiryVpdPage(int fd, std::uint8_t page) {
  constexpr std::uint16_t kAllocation = 252;
  std::array<unsigned char, 6> command = {0x12, 0x01, page, 0, kAllocation, 0};
  std::vector<std::uint8_t> reply(kAllocation, 0);
  std::array<unsigned char, 32> sense{};
  sg_io_hdr_t request{};
  request.interface_id = 'S';
  request.dxfer_direction = SG_DXFER_FROM_DEV;
  request.cmd_len = static_cast<unsigned char>(command.size());
  request.cmdp = command.data();
  request.dxfer_len = kAllocation;
  request.dxferp = reply.data();
  request.mx_sb_len = static_cast<unsigned char>(sense.size());
  request.sbp = sense.data();
  request.timeout = 5000;
  if (::ioctl(fd, SG_IO, &request) != 0 || request.status != 0 || request.host_status != 0 ||
      (request.driver_status & 0x0F) != 0) {
    return std::nullopt;
  }
  const int received = static_cast<int>(kAllocation) - request.resid;
  if (received < 4 || reply[1] != page) {
    return std::nullopt;
  }
  reply.resize(static_cast<std::size_t>(received));
  return reply;
}

}  // namespace vellumar::platform

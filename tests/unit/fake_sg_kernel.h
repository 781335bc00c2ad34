#pragma once

#include <linux/hdreg.h>
#include <scsi/sg.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <utility>
#include <vector>

#include "platform/linux/io/ioctl_caller.h"

namespace vellumar::platform {

// A scripted kernel: records every request and answers SG_IO with the configured outcome.
struct FakeSgKernel {
  struct Request {
    unsigned long Code = 0;
    std::array<std::uint8_t, 16> Cdb{};
    int Direction = 0;
    unsigned Length = 0;
    unsigned Timeout = 0;
    std::vector<std::uint8_t> DataOut;  // what a data-out command carried
    std::array<std::uint8_t, 4> DriveCmd{};
  };

  int Result = 0;
  int Errno = EIO;  // set when Result is negative
  unsigned char Status = 0;
  unsigned short HostStatus = 0;
  unsigned short DriverStatus = 0;
  int Resid = 0;
  std::vector<std::uint8_t> Sense;
  std::uint8_t Fill = 0x5A;  // what lands in a data-in buffer, whatever the outcome
  std::vector<Request> Requests;

  IoctlCaller Caller() {
    return [this](int /*fd*/, unsigned long code, void* argument) { return Answer(code, argument); };
  }

  // A CHECK CONDITION with this sense, as libata answers a failed or CK_COND command.
  void CheckCondition(std::vector<std::uint8_t> sense) {
    Status = 0x02;
    DriverStatus = 0x08;
    Sense = std::move(sense);
  }

  int Answer(unsigned long code, void* argument) {
    Request request;
    request.Code = code;
    if (code == SG_IO) {
      auto* header = static_cast<sg_io_hdr_t*>(argument);
      std::memcpy(request.Cdb.data(), header->cmdp, std::min<std::size_t>(header->cmd_len, 16));
      request.Direction = header->dxfer_direction;
      request.Length = header->dxfer_len;
      request.Timeout = header->timeout;
      auto* data = static_cast<std::uint8_t*>(header->dxferp);
      if (data != nullptr && header->dxfer_direction == SG_DXFER_TO_DEV) {
        request.DataOut.assign(data, data + header->dxfer_len);
      } else if (data != nullptr) {
        std::memset(data, Fill, header->dxfer_len);
      }
      header->status = Status;
      header->host_status = HostStatus;
      header->driver_status = DriverStatus;
      header->resid = Resid;
      const std::size_t senseBytes = std::min<std::size_t>(Sense.size(), header->mx_sb_len);
      if (senseBytes > 0) {
        std::memcpy(header->sbp, Sense.data(), senseBytes);
      }
      header->sb_len_wr = static_cast<unsigned char>(senseBytes);
    } else if (code == HDIO_DRIVE_CMD) {
      auto* args = static_cast<std::uint8_t*>(argument);
      std::copy(args, args + 4, request.DriveCmd.begin());
      std::memset(args + 4, Fill, 512);
    } else if (code == HDIO_GET_IDENTITY) {
      std::memset(argument, Fill, 512);
    }
    Requests.push_back(request);
    if (Result < 0) {
      errno = Errno;
    }
    return Result;
  }
};

}  // namespace vellumar::platform

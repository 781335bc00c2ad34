#include "platform/linux/io/errno_map.h"

#include <cerrno>

#include "devices/base/block_device.h"

namespace vellumar::platform {

std::uint32_t MapWriteErrno(int error) {
  switch (error) {
    case EIO:
    case ENODATA:  // a medium error on USB and NVMe disks
      return kErrorIoDevice;
    case ENODEV:
    case ENXIO:
      return kErrorDevNotExist;
    case ENOENT:
      return kErrorFileNotFound;
    case EROFS:
    case EPERM:
    case EACCES:
      return kErrorWriteProtect;
    case ETIMEDOUT:
      return kErrorSemTimeout;
    case EAGAIN:
    case EBUSY:
      return kErrorNotReady;
    default:
      return kErrorGeneric;
  }
}

}  // namespace vellumar::platform

#include "platform/linux/io/ioctl_caller.h"

#include <sys/ioctl.h>

namespace vellumar::platform {

IoctlCaller SystemIoctl() {
  return [](int fd, unsigned long request, void* argument) { return ::ioctl(fd, request, argument); };
}

}  // namespace vellumar::platform

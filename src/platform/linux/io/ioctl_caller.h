#pragma once

#include <functional>

namespace vellumar::platform {

// The one kernel call the ATA routes make, as a seam: tests hand in a fake kernel.
// Same contract as ioctl(2): 0 or more on success, -1 with errno set on failure.
using IoctlCaller = std::function<int(int fd, unsigned long request, void* argument)>;

// Calls the real ioctl(2).
IoctlCaller SystemIoctl();

}  // namespace vellumar::platform

#pragma once

#include <string>

namespace vellumar::platform {

// The running system's mount that lives on disk `disk` (a kernel name), through partitions,
// device-mapper, md and loop devices, as "/ on /dev/sda2"; empty when there is none. The
// mounts are those of process 1 under `procRoot`, so a test can declare any file system the
// running system.
std::string RunningSystemVolume(const std::string& sysfsRoot, const std::string& procRoot, const std::string& disk);

}  // namespace vellumar::platform

#pragma once

#include <string>
#include <vector>

#include "devices/catalogue/platform_info.h"

namespace vellumar::platform {

// The version numbers at the head of a kernel release ("6.1.0-18-amd64" gives "6.1.0").
std::string KernelVersionNumbers(const std::string& release);
// PRETTY_NAME of an os-release file's text, quotes removed; empty when it has none.
std::string PrettyNameOf(const std::string& osRelease);
// True for the machine names of 64-bit systems (x86_64, aarch64, s390x, ...).
bool IsSixtyFourBitMachine(const std::string& machine);

// The description is the kernel's version numbers, three blanks, the distribution's name and
// the system's real word width. Device information counts as reachable while sysfs lists block
// devices.
class LinuxPlatformInfo final : public vellumar::PlatformInfo {
 public:
  LinuxPlatformInfo(std::string sysfsRoot, std::string procRoot,
                    std::vector<std::string> osReleaseFiles = {"/etc/os-release", "/usr/lib/os-release"})
      : sysfsRoot_(std::move(sysfsRoot)), procRoot_(std::move(procRoot)), osReleaseFiles_(std::move(osReleaseFiles)) {}

  std::string ProgramPath() override;
  std::string PlatformDescription() override;
  bool DeviceInformationReachable() override;

 private:
  std::string sysfsRoot_;
  std::string procRoot_;
  std::vector<std::string> osReleaseFiles_;
};

}  // namespace vellumar::platform

#pragma once

#include <memory>
#include <string>
#include <vector>

#include "main/main_services.h"

namespace vellumar::desktop {

// The main window's services on Linux: the sysfs probe, the chosen drive opened shared
// (read-write) with its identity checked, the ATA reports through that handle, and format runs
// that take their own exclusive handle. `parameters` are the command-line parameters after the
// program name; `sysfsRoot` and `procRoot` are parameters so tests can point them elsewhere.
std::unique_ptr<MainServices> MakeLinuxMainServices(std::vector<std::string> parameters, std::string sysfsRoot = "/sys",
                                                    std::string procRoot = "/proc");

}  // namespace vellumar::desktop

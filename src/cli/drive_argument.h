#pragma once

#include <string>

#include "cli/cli_commands.h"
#include "devices/drive_record.h"
#include "platform/linux/linux_block_device.h"

namespace vellumar::cli {

// The drive a command works on, with what was read about it when it was named.
struct ResolvedDrive {
  vellumar::TDeviceTable Entry;
  vellumar::platform::DeviceGeometry Geometry;
};

// Turns a DEVICE argument (a device node or an image file) into a drive record.
// False with a readable `error` when it cannot be opened or read.
bool ResolveDrive(const std::string& argument, CliEnvironment& env, ResolvedDrive& drive, std::string& error);

}  // namespace vellumar::cli

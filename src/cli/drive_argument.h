#pragma once

#include <memory>
#include <string>
#include <vector>

#include "cli/cli_commands.h"
#include "devices/drive_record.h"
#include "platform/linux/drive_handle.h"
#include "platform/linux/identity_pin.h"
#include "platform/linux/linux_block_device.h"

namespace vellumar::cli {

// The drive a command works on, with what was read about it when it was named.
struct ResolvedDrive {
  vellumar::TDeviceTable Entry;
  // Size and device number as identified; the same values the identity is pinned to.
  vellumar::platform::DeviceGeometry Geometry;
  vellumar::platform::PinnedIdentity Pin;
  // The candidate disks in drive-number order when the drive was named.
  std::vector<std::string> DiskOrder;
};

// Turns a DRIVE argument into an identified drive record: a row number of 'list', a disk's node
// (/dev/sdb) or an image file (bus "IMAGE"). A node must name a disk that 'list' can show.
// False with a readable `error` when it cannot be opened, found or identified.
bool ResolveDrive(const std::string& argument, CliEnvironment& env, ResolvedDrive& drive, std::string& error);

// Opens the resolved drive read-write and shared, only while it is still the drive that was
// resolved; callers show "Error opening device: " followed by `error` otherwise.
std::unique_ptr<vellumar::platform::DriveHandle> OpenResolvedDrive(const ResolvedDrive& drive, CliEnvironment& env,
                                                                   std::string& error);

}  // namespace vellumar::cli

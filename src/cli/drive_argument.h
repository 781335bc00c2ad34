#pragma once

#include <memory>
#include <string>
#include <vector>

#include "cli/cli_commands.h"
#include "devices/base/drive_record.h"
#include "platform/linux/io/drive_handle.h"
#include "platform/linux/io/identity_pin.h"
#include "platform/linux/io/linux_block_device.h"

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

// A DRIVE argument made only of digits is a row number of 'list'; a file called 3 is ./3.
bool IsRowNumber(const std::string& argument);

// Empty when `serial` is empty or the drive's serial number (blanks at either end of both are
// ignored); otherwise why the drive is refused. Every command that takes --serial asks this.
std::string SerialMismatch(const ResolvedDrive& drive, const std::string& serial);

// Turns a DRIVE argument into an identified drive record: a row number of 'list', a disk's node
// (/dev/sdb) or an image file (bus "IMAGE", kept by its real path). A node must name a disk
// that 'list' can show. False with a readable `error` when it cannot be opened, found or
// identified.
// `readOnly` accepts a write-protected disk too, for commands that only read it.
bool ResolveDrive(const std::string& argument, CliEnvironment& env, ResolvedDrive& drive, std::string& error,
                  bool readOnly = false);

// Opens the resolved drive read-write and shared, only while it is still the drive that was
// resolved; callers show "Error opening device: " followed by `error` otherwise.
std::unique_ptr<vellumar::platform::DriveHandle> OpenResolvedDrive(const ResolvedDrive& drive, CliEnvironment& env,
                                                                   std::string& error);

}  // namespace vellumar::cli

#pragma once

#include <optional>
#include <vector>

#include "cli/cli_commands.h"
#include "cli/drive_argument.h"
#include "devices/ata/hidden_area.h"
#include "devices/ata/smart_decoder.h"

namespace vellumar::cli {

// What a certificate records about a drive before anything is done to it.
struct DriveInspection {
  vellumar::HiddenAreaReport HiddenArea;
  std::optional<std::vector<vellumar::SmartAttribute>> Smart;  // nullopt: the drive did not answer
};

// Asks an ATA drive (directly or through a USB bridge that passes commands) for hidden sectors
// and its S.M.A.R.T. table. Other drives are recorded as not checked, never as "none". With
// `openFd` (a read-only check's descriptor) the commands go there; else the drive is opened
// read-write and shared for them.
DriveInspection InspectDrive(const ResolvedDrive& drive, CliEnvironment& env, int openFd = -1);

// The hidden-area check alone, for `list --json`: the node is opened read-only for it.
vellumar::HiddenAreaReport HiddenAreaOf(const vellumar::TDeviceTable& entry, const std::string& sysfsRoot);

}  // namespace vellumar::cli

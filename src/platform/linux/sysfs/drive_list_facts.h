#pragma once

#include <string>

#include "devices/reports/list_json.h"

namespace vellumar::platform {

// The facts `list --json` adds for the disk at `node` (/dev/sdb): the by-id name under
// `devRoot`/disk/by-id, the sector sizes, rotational and removable flags from sysfs, and its
// volumes (the disk itself and its partitions) with their mount points and swap use.
vellumar::DriveListFacts ReadDriveListFacts(const std::string& node, const std::string& sysfsRoot,
                                            const std::string& procRoot, const std::string& devRoot);

// Of several by-id names for one disk, the one to show: not a wwn-/nvme-eui. alias when another
// exists, then the shortest, then the first in order. Empty for none.
std::string PreferredById(std::vector<std::string> names);

}  // namespace vellumar::platform

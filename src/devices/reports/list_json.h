#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "devices/base/drive_record.h"
#include "devices/base/json_writer.h"

namespace vellumar {

// One volume of a drive: its node and where it is in use (mount points; "[SWAP]" for swap).
struct VolumeUse {
  std::string Node;
  std::vector<std::string> MountPoints;
};

// What `list --json` tells about a drive beyond its catalogue record.
struct DriveListFacts {
  std::string ById;  // the stable /dev/disk/by-id name, empty when there is none
  std::int64_t LogicalSectorSize = 0;
  std::int64_t PhysicalSectorSize = 0;
  std::optional<bool> Rotational;
  bool Removable = false;
  std::vector<VolumeUse> Volumes;
};

// One drive of the listing; `row` is its row number in `list` (1-based).
Json DriveListJson(std::int64_t row, const TDeviceTable& drive, const DriveListFacts& facts);

}  // namespace vellumar

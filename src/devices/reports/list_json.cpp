#include "devices/reports/list_json.h"

#include "devices/base/text_format.h"

namespace vellumar {

Json DriveListJson(std::int64_t row, const TDeviceTable& drive, const DriveListFacts& facts) {
  const TIdentifyDeviceData& id = drive.IdentifyData;
  Json volumes = Json::array();
  for (const VolumeUse& volume : facts.Volumes) {
    volumes.push_back({{"node", volume.Node}, {"mount_points", volume.MountPoints}});
  }
  std::uint64_t capacity = 0;
  const bool fits =
      id.LBA >= 0 && id.SectorSize >= 0 &&
      !__builtin_mul_overflow(static_cast<std::uint64_t>(id.LBA), static_cast<std::uint64_t>(id.SectorSize), &capacity);
  Json doc;
  doc["row"] = row;
  doc["node"] = drive.DevicePath;
  doc["by_id"] = facts.ById.empty() ? Json(nullptr) : Json(facts.ById);
  doc["drive_number"] = drive.DeviceNumber;
  doc["bus_code"] = id.BusType;
  doc["bus_name"] = BusTypeName(id.BusType);
  doc["model"] = TrimText(id.Model);
  doc["serial"] = id.SN;
  doc["firmware"] = id.FW;
  doc["capacity_bytes"] = fits ? Json(capacity) : Json(nullptr);
  doc["sector_count"] = id.LBA;
  doc["logical_sector_size"] = facts.LogicalSectorSize != 0 ? facts.LogicalSectorSize : id.SectorSize;
  doc["physical_sector_size"] = facts.PhysicalSectorSize != 0 ? Json(facts.PhysicalSectorSize) : Json(nullptr);
  doc["rotational"] = JsonOptional(facts.Rotational);
  doc["removable"] = facts.Removable || id.RemovableMedia;
  doc["volumes"] = volumes;
  doc["running_system"] = !drive.SystemVolume.empty();
  doc["system_volume"] = drive.SystemVolume.empty() ? Json(nullptr) : Json(drive.SystemVolume);
  return doc;
}

}  // namespace vellumar

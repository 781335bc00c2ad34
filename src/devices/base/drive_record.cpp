#include "devices/base/drive_record.h"

#include <stdexcept>

namespace vellumar {

const std::array<const char*, 16> kBusTypeShortNames = {
    "Unknown", "Scsi",  "Atapi", "Ata",  "1394", "Ssa", "Fibre",   "Usb",
    "RAID",    "iScsi", "Sas",   "Sata", "Sd",   "Mmc", "Virtual", "FileBackedVirtual"};

std::string BusTypeName(std::int64_t busType) {
  static constexpr std::array<const char*, 16> kShown = {"UNKNOWN", "SCSI", "ATAPI",   "ATA",      "IEEE 1394", "SSA",
                                                         "FIBRE",   "USB",  "RAID",    "ISCSI",    "SAS",       "SATA",
                                                         "SD",      "MMC",  "VIRTUAL", "FBVIRTUAL"};
  const auto low = static_cast<std::uint32_t>(static_cast<std::uint64_t>(busType) & 0xFFFFFFFFU);
  if (low < kShown.size()) {
    return kShown[low];
  }
  if (low == kBusImage) {
    return "IMAGE";
  }
  if (low == kBusFlash) {
    return "FLASH";
  }
  return "UNKNOWN";
}

namespace {
std::size_t SlotIndex(std::int64_t slot) {
  if (slot < 1 || slot > DeviceCatalogue::kSlots) {
    throw std::out_of_range("Range check error");
  }
  return static_cast<std::size_t>(slot - 1);
}
}  // namespace

TDeviceTable& DeviceCatalogue::DeviceTable(std::int64_t slot) { return slots_.at(SlotIndex(slot)); }

const TDeviceTable& DeviceCatalogue::DeviceTable(std::int64_t slot) const { return slots_.at(SlotIndex(slot)); }

void DeviceCatalogue::Append(const TDeviceTable& entry) {
  if (DeviceCount >= kMaxDrives) {
    throw std::out_of_range("Range check error");
  }
  DeviceCount += 1;
  DeviceTable(DeviceCount) = entry;
}

void DeviceCatalogue::Choose(std::int64_t row) {
  const std::int64_t slot = row + 1;
  if (slot < 1 || slot > DeviceCount) {
    throw std::out_of_range("Range check error");
  }
  SelectedDevice = slot;
  DeviceChosen = true;
}

}  // namespace vellumar

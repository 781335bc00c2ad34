#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace vellumar {

// Bus codes 0..15 follow the storage-bus numbering the catalogue uses everywhere; 200 and 201 are ours.
inline constexpr std::int64_t kBusUnknown = 0;
inline constexpr std::int64_t kBusScsi = 1;
inline constexpr std::int64_t kBusAtapi = 2;
inline constexpr std::int64_t kBusAta = 3;
inline constexpr std::int64_t kBus1394 = 4;
inline constexpr std::int64_t kBusUsb = 7;
inline constexpr std::int64_t kBusIscsi = 9;
inline constexpr std::int64_t kBusSas = 10;
inline constexpr std::int64_t kBusSata = 11;
inline constexpr std::int64_t kBusSd = 12;
inline constexpr std::int64_t kBusMmc = 13;
inline constexpr std::int64_t kBusVirtual = 14;
inline constexpr std::int64_t kBusFileBackedVirtual = 15;
inline constexpr std::int64_t kBusNvme = 17;
inline constexpr std::int64_t kBusImage = 200;
inline constexpr std::int64_t kBusFlash = 201;

// What the storage queries report about one drive.
struct TIdentifyDeviceData {
  std::string Model;
  std::string FW;
  std::string SN;
  std::int64_t LBA = 0;
  std::int64_t SectorSize = 0;
  std::int64_t BusType = 0;
  std::int64_t MaximumSectorsTransfer = 0;
  bool RemovableMedia = false;
  std::uint8_t IsIDESlave = 0;
};

// One catalogued drive. On Linux DevicePath is the device node (/dev/sdb) and DeviceNumber
// its position in the natural order of the candidate disks.
struct TDeviceTable {
  std::string DevicePath;
  std::uint32_t DeviceNumber = 0;
  TIdentifyDeviceData IdentifyData;
  bool IsFile = false;
  std::string FilePath;
  std::int64_t FileSize = 0;
  bool IsCompressed = false;
  std::string FileVersion;
  std::string AssociatedPartitions;
  // The running system's mount this drive holds, as "/ on /dev/sda2"; empty when it holds none.
  std::string SystemVolume;
};

// The bytes a run covers: the whole sectors, or an image file's exact size when it ends in part
// of a sector.
inline std::int64_t DriveTotalBytes(const TDeviceTable& drive) {
  const std::int64_t sectors = drive.IdentifyData.LBA * drive.IdentifyData.SectorSize;
  return drive.IsFile && drive.FileSize > sectors ? drive.FileSize : sectors;
}

// The short names of bus codes 0..15, indexed by code.
extern const std::array<const char*, 16> kBusTypeShortNames;

// The upper-case name the chooser shows for a bus code; only the low 32 bits take part.
std::string BusTypeName(std::int64_t busType);

// The catalogue: 16 slots numbered 1..16 (at most 15 filled), the count and the selection.
// One object instead of loose globals, so every test can start from a fresh catalogue.
class DeviceCatalogue {
 public:
  static constexpr std::int64_t kSlots = 16;
  static constexpr std::int64_t kMaxDrives = 15;

  // Slot access; any index outside 1..16 raises std::out_of_range.
  TDeviceTable& DeviceTable(std::int64_t slot);
  const TDeviceTable& DeviceTable(std::int64_t slot) const;

  // Fills the next free slot; raises std::out_of_range when 15 drives are already catalogued.
  void Append(const TDeviceTable& entry);

  // The chosen drive's slot (raises std::out_of_range while nothing is chosen).
  const TDeviceTable& Selected() const { return DeviceTable(SelectedDevice); }
  // Accepts chooser row r (0-based) as slot r + 1.
  void Choose(std::int64_t row);

  std::int64_t DeviceCount = 0;
  std::int64_t SelectedDevice = -1;
  bool DeviceChosen = false;

 private:
  std::array<TDeviceTable, kSlots> slots_{};
};

}  // namespace vellumar

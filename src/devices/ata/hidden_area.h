#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "devices/ata/ata_transport.h"

namespace vellumar {

// Whether sectors past the capacity the system sees are hidden by the drive.
enum class HiddenAreaStatus { NotChecked, None, Hidden };

struct HiddenAreaReport {
  HiddenAreaStatus Status = HiddenAreaStatus::NotChecked;
  std::int64_t ReportedSectors = 0;  // the capacity IDENTIFY reports (user-addressable)
  std::int64_t NativeSectors = 0;    // READ NATIVE MAX ADDRESS + 1
  std::int64_t DcoSectors = 0;       // DEVICE CONFIGURATION IDENTIFY's maximum + 1, 0 when unknown
  std::int64_t HpaHiddenSectors = 0;
  std::int64_t DcoHiddenSectors = 0;
  std::string Reason;  // why it was not checked
};

// "not checked", "none" or "hidden".
std::string HiddenAreaStatusName(HiddenAreaStatus status);

inline constexpr std::uint8_t kAtaReadNativeMaxAddress = 0xF8;
inline constexpr std::uint8_t kAtaReadNativeMaxAddressExt = 0x27;
inline constexpr std::uint8_t kAtaDeviceConfiguration = 0xB1;
inline constexpr std::uint8_t kDcoFeatureIdentify = 0xC2;

// A non-data command whose answer is the LBA the drive leaves in its output registers. The
// platform asks for those registers (CK_COND) for these commands only.
class AtaLbaQuery {
 public:
  virtual ~AtaLbaQuery() = default;
  // `extended` sends the 48-bit form. nullopt when the command failed or the registers did not
  // come back whole.
  virtual std::optional<std::uint64_t> ReturnedLba(std::uint8_t slave, std::uint8_t command, bool extended) = 0;
};

// What IDENTIFY says about the capacity and the host protected area.
struct IdentifyCapacity {
  bool HostProtectedArea = false;    // word 82 bit 10, with word 83 marked valid
  bool Lba48 = false;                // word 83 bit 10
  std::int64_t ReportedSectors = 0;  // words 100-103 on a 48-bit drive, 60-61 otherwise
};

IdentifyCapacity ReadIdentifyCapacity(std::span<const std::uint8_t, kAtaSectorBytes> identify);

// Compares the IDENTIFY capacity with READ NATIVE MAX ADDRESS (EXT) and, where the drive has a
// device configuration overlay, with DEVICE CONFIGURATION IDENTIFY. Detects only; changes nothing.
HiddenAreaReport CheckHiddenArea(std::span<const std::uint8_t, kAtaSectorBytes> identify, std::uint8_t slave,
                                 AtaLbaQuery& query, AtaPassThrough& ata);

// The run header's warning lines; none when nothing is hidden.
std::vector<std::string> HiddenAreaWarnings(const HiddenAreaReport& report);

}  // namespace vellumar

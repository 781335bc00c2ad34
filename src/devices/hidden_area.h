#pragma once

#include <cstdint>
#include <string>

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

}  // namespace vellumar

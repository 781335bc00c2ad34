#pragma once

#include <string>
#include <vector>

#include "devices/base/drive_record.h"
#include "devices/base/locale_settings.h"

namespace vellumar {

// The column texts of one chooser row.
struct ChooserRow {
  std::string Bus;
  std::string Node;   // the device node, marked " (system)" on the running system's disk
  std::string Model;  // with the drive's volumes in brackets
  std::string Firmware;
  std::string Serial;
  std::string Lba;
  std::string Capacity;
};

ChooserRow MakeChooserRow(const TDeviceTable& entry, const LocaleSettings& locale);

// One row per catalogued drive, in slot order (row r is slot r + 1).
std::vector<ChooserRow> ChooserRows(const DeviceCatalogue& catalogue, const LocaleSettings& locale);

}  // namespace vellumar

#include "devices/catalogue/chooser_rows.h"

#include "devices/base/checked_math.h"
#include "devices/base/text_format.h"

namespace vellumar {

ChooserRow MakeChooserRow(const TDeviceTable& entry, const LocaleSettings& locale) {
  const TIdentifyDeviceData& id = entry.IdentifyData;
  ChooserRow row;
  row.Bus = BusTypeName(id.BusType);
  row.Node = entry.DevicePath + (entry.SystemVolume.empty() ? "" : " (system)");
  row.Model = TrimText(id.Model);
  if (!entry.AssociatedPartitions.empty()) {
    row.Model += " (" + entry.AssociatedPartitions + ")";
  }
  row.Firmware = id.FW;
  row.Serial = id.SN;
  row.Lba = std::to_string(id.LBA);
  row.Capacity = FormatCapacity(CheckedMul(id.LBA, id.SectorSize), locale);
  return row;
}

std::vector<ChooserRow> ChooserRows(const DeviceCatalogue& catalogue, const LocaleSettings& locale) {
  std::vector<ChooserRow> rows;
  for (std::int64_t slot = 1; slot <= catalogue.DeviceCount; ++slot) {
    rows.push_back(MakeChooserRow(catalogue.DeviceTable(slot), locale));
  }
  return rows;
}

}  // namespace vellumar

#include "main/choose_device.h"

#include "devices/catalogue/chooser_rows.h"
#include "windows/window_texts.h"

namespace vellumar::desktop {

using vellumar::windows::FromUtf8;

QStringList DriveRowTexts(const vellumar::TDeviceTable& entry, const vellumar::LocaleSettings& locale) {
  const vellumar::ChooserRow row = vellumar::MakeChooserRow(entry, locale);
  // The device node follows the bus: that is the name Linux users know their disks by.
  return {FromUtf8(row.Bus),    FromUtf8(row.Node), FromUtf8(row.Model),   FromUtf8(row.Firmware),
          FromUtf8(row.Serial), FromUtf8(row.Lba),  FromUtf8(row.Capacity)};
}

QList<QStringList> CatalogueRows(const vellumar::DeviceCatalogue& catalogue, const vellumar::LocaleSettings& locale) {
  QList<QStringList> rows;
  for (std::int64_t slot = 1; slot <= catalogue.DeviceCount; ++slot) {
    rows << DriveRowTexts(catalogue.DeviceTable(slot), locale);
  }
  return rows;
}

bool ChooseDevice(vellumar::DeviceCatalogue& catalogue, vellumar::windows::TFmChoose& chooser,
                  const vellumar::LocaleSettings& locale) {
  for (const QStringList& row : CatalogueRows(catalogue, locale)) {
    chooser.AddDriveRow(row);
  }
  chooser.exec();
  return catalogue.DeviceChosen;
}

}  // namespace vellumar::desktop

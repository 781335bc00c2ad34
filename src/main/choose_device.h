#pragma once

#include <QStringList>

#include "devices/base/drive_record.h"
#include "devices/base/locale_settings.h"
#include "windows/fm_choose.h"

namespace vellumar::desktop {

// The chooser's column texts for one catalogued drive: bus, device node, model (with its
// volumes in brackets), firmware, serial, LBA, capacity.
QStringList DriveRowTexts(const vellumar::TDeviceTable& entry, const vellumar::LocaleSettings& locale);

// The rows of every catalogued drive, in slot order.
QList<QStringList> CatalogueRows(const vellumar::DeviceCatalogue& catalogue, const vellumar::LocaleSettings& locale);

// Fills the chooser from the catalogue in slot order, shows it modally and tells whether a
// drive was chosen.
bool ChooseDevice(vellumar::DeviceCatalogue& catalogue, vellumar::windows::TFmChoose& chooser,
                  const vellumar::LocaleSettings& locale);

}  // namespace vellumar::desktop

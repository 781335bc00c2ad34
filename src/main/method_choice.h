#pragma once

#include <QComboBox>
#include <vector>

#include "devices/firmware/firmware_methods.h"
#include "ops/erasure_job.h"

namespace vellumar::desktop {

// The format page's choice of how to erase: the zero fill (the default, item 0), then the
// drive's own firmware commands, each enabled only where the drive offers it now; a disabled
// one says why in its tooltip.
QComboBox* BuildMethodChoice(QWidget* parent);
void ApplyMethodOffers(QComboBox* choice, const std::vector<vellumar::MethodOffer>& offers);

// The method chosen; the quick wipe applies to the zero fill only.
vellumar::ops::EraseMethod ChosenMethod(const QComboBox* choice, bool quickWipe);
bool ZeroFillChosen(const QComboBox* choice);
// A crypto erase cannot be checked by reading back: the check is off for it.
bool CryptoChosen(const QComboBox* choice);

}  // namespace vellumar::desktop

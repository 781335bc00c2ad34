#pragma once

#include "devices/base/locale_settings.h"

namespace vellumar::platform {

// The decimal separator and the date and time forms of the user's locale (LC_NUMERIC, LC_TIME).
// Call once at start-up, before any thread is started.
vellumar::LocaleSettings ReadUserLocale();

}  // namespace vellumar::platform

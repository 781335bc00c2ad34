#pragma once

#include <string>

namespace vellumar {

// The user's regional settings as the text formats need them. The platform layer reads them
// from the process locale; tests build them by hand.
struct LocaleSettings {
  std::string DecimalSeparator = ".";
  std::string ShortDateFormat = "%Y-%m-%d";  // strftime form of the short date
  std::string LongTimeFormat = "%H:%M:%S";   // strftime form of the long time
};

}  // namespace vellumar

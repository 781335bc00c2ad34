#include "platform/linux/host/user_locale.h"

#include <langinfo.h>

#include <clocale>

namespace vellumar::platform {

vellumar::LocaleSettings ReadUserLocale() {
  vellumar::LocaleSettings settings;
  // Only the forms are read here; number output elsewhere stays in the C locale.
  const char* previousNumeric = std::setlocale(LC_NUMERIC, nullptr);
  const std::string savedNumeric = previousNumeric != nullptr ? previousNumeric : "C";
  const char* previousTime = std::setlocale(LC_TIME, nullptr);
  const std::string savedTime = previousTime != nullptr ? previousTime : "C";

  if (std::setlocale(LC_NUMERIC, "") != nullptr) {
    const char* separator = ::nl_langinfo(RADIXCHAR);
    if (separator != nullptr && separator[0] != '\0') {
      settings.DecimalSeparator = separator;
    }
  }
  if (std::setlocale(LC_TIME, "") != nullptr) {
    const char* date = ::nl_langinfo(D_FMT);
    const char* time = ::nl_langinfo(T_FMT);
    if (date != nullptr && date[0] != '\0') {
      settings.ShortDateFormat = date;
    }
    if (time != nullptr && time[0] != '\0') {
      settings.LongTimeFormat = time;
    }
  }
  std::setlocale(LC_NUMERIC, savedNumeric.c_str());
  std::setlocale(LC_TIME, savedTime.c_str());
  return settings;
}

}  // namespace vellumar::platform

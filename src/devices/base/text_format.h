#pragma once

#include <cstdint>
#include <ctime>
#include <string>
#include <string_view>

#include "devices/base/drive_record.h"
#include "devices/base/locale_settings.h"

namespace vellumar {

// Decimal units in powers of 1000, truncated to two decimals: 123456 gives "123.45 KB".
std::string FormatCapacity(std::int64_t bytes, const LocaleSettings& locale);

// A comma every three digits once the text is five characters or longer: 4096, 65,536.
std::string GroupThousands(std::int64_t value);

// Removes leading and trailing characters whose code is at most that of the space.
std::string TrimText(std::string_view text);
// The text without the bidirectional controls U+202A-U+202E and U+2066-U+2069 (UTF-8): a drive
// could otherwise turn the text that follows it around on a page.
std::string StripBidiControls(std::string_view text);

// Device-reported text (model, serial, vendor) with its control characters (C0, DEL, C1)
// replaced by '?', so a drive cannot drive a terminal, forge log lines or format a label.
std::string ReplaceControlCharacters(std::string_view text);

// The one-line caption of slot `slot` of the catalogue.
std::string DriveCaption(const DeviceCatalogue& catalogue, std::int64_t slot, const LocaleSettings& locale);
std::string DriveCaption(const TDeviceTable& entry, const LocaleSettings& locale);

// Short date, a space, long time; the time is left out during the first second after midnight.
std::string FormatTimestamp(const std::tm& moment, const LocaleSettings& locale);

// A value with exactly one decimal in the user's form: 87.3.
std::string FormatOneDecimal(double value, const LocaleSettings& locale);

}  // namespace vellumar

#include "devices/base/text_format.h"

#include <array>
#include <cstdio>

#include "devices/base/checked_math.h"

namespace vellumar {

namespace {

std::string WithDecimalSeparator(std::string text, const LocaleSettings& locale) {
  const auto dot = text.find('.');
  if (dot != std::string::npos) {
    text.replace(dot, 1, locale.DecimalSeparator);
  }
  return text;
}

// General number form: up to 15 significant digits, no trailing zeros, no exponent here.
std::string GeneralNumber(double value, const LocaleSettings& locale) {
  std::array<char, 64> buffer{};
  std::snprintf(buffer.data(), buffer.size(), "%.15g", value);
  return WithDecimalSeparator(buffer.data(), locale);
}

std::string Truncated(std::int64_t bytes, std::int64_t keep, double unit, const char* suffix,
                      const LocaleSettings& locale) {
  const std::int64_t kept = CheckedMul(bytes / keep, keep);
  return GeneralNumber(static_cast<double>(kept) / unit, locale) + suffix;
}

}  // namespace

std::string FormatCapacity(std::int64_t bytes, const LocaleSettings& locale) {
  if (bytes < 99'999) {
    return std::to_string(bytes) + " bytes";
  }
  if (bytes < 9'999'999) {
    return Truncated(bytes, 10, 1e3, " KB", locale);
  }
  if (bytes < 9'999'999'999) {
    return Truncated(bytes, 10'000, 1e6, " MB", locale);
  }
  return Truncated(bytes, 10'000'000, 1e9, " GB", locale);
}

std::string GroupThousands(std::int64_t value) {
  const std::string digits = std::to_string(value);
  std::string reversed;
  std::size_t taken = 0;
  for (auto it = digits.rbegin(); it != digits.rend(); ++it) {
    reversed.push_back(*it);
    ++taken;
    if (digits.size() > 4 && taken % 3 == 0) {
      reversed.push_back(',');
    }
  }
  std::string result(reversed.rbegin(), reversed.rend());
  if (!result.empty() && result.front() == ',') {
    result.erase(0, 1);
  }
  // A leading minus followed by the separator ("-,123,456") is not a number anyone writes.
  if (result.size() > 1 && result[0] == '-' && result[1] == ',') {
    result.erase(1, 1);
  }
  return result;
}

std::string StripBidiControls(std::string_view text) {
  std::string kept;
  kept.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (i + 2 < text.size() && static_cast<unsigned char>(text[i]) == 0xE2) {
      const auto second = static_cast<unsigned char>(text[i + 1]);
      const auto third = static_cast<unsigned char>(text[i + 2]);
      if ((second == 0x80 && third >= 0xAA && third <= 0xAE) || (second == 0x81 && third >= 0xA6 && third <= 0xA9)) {
        i += 2;
        continue;
      }
    }
    kept.push_back(text[i]);
  }
  return kept;
}

std::string TrimText(std::string_view text) {
  std::size_t begin = 0;
  std::size_t end = text.size();
  while (begin < end && static_cast<unsigned char>(text[begin]) <= ' ') {
    ++begin;
  }
  while (end > begin && static_cast<unsigned char>(text[end - 1]) <= ' ') {
    --end;
  }
  return std::string(text.substr(begin, end - begin));
}

std::string DriveCaption(const TDeviceTable& entry, const LocaleSettings& locale) {
  const TIdentifyDeviceData& id = entry.IdentifyData;
  const std::int64_t bytes = CheckedMul(id.LBA, id.SectorSize);
  return "[" + std::to_string(entry.DeviceNumber) + "]  " + TrimText(id.Model) + "    " + TrimText(id.FW) + "    [" +
         FormatCapacity(bytes, locale) + "]    (" + std::to_string(id.LBA) + " " + std::to_string(id.SectorSize) +
         "-byte sectors)";
}

std::string DriveCaption(const DeviceCatalogue& catalogue, std::int64_t slot, const LocaleSettings& locale) {
  return DriveCaption(catalogue.DeviceTable(slot), locale);
}

std::string FormatTimestamp(const std::tm& moment, const LocaleSettings& locale) {
  std::array<char, 128> buffer{};
  std::size_t length = std::strftime(buffer.data(), buffer.size(), locale.ShortDateFormat.c_str(), &moment);
  std::string text(buffer.data(), length);
  if (moment.tm_hour == 0 && moment.tm_min == 0 && moment.tm_sec == 0) {
    return text;
  }
  length = std::strftime(buffer.data(), buffer.size(), locale.LongTimeFormat.c_str(), &moment);
  return text + " " + std::string(buffer.data(), length);
}

std::string FormatOneDecimal(double value, const LocaleSettings& locale) {
  std::array<char, 64> buffer{};
  std::snprintf(buffer.data(), buffer.size(), "%.1f", value);
  return WithDecimalSeparator(buffer.data(), locale);
}

namespace {

// The length of the valid UTF-8 sequence at `i`, or 0 when the bytes there are not one.
std::size_t Utf8SequenceLength(std::string_view text, std::size_t i) {
  const auto lead = static_cast<unsigned char>(text[i]);
  std::size_t length = 0;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
  } else {
    return 0;
  }
  if (i + length > text.size()) {
    return 0;
  }
  for (std::size_t k = 1; k < length; ++k) {
    if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80) {
      return 0;
    }
  }
  return length;
}

}  // namespace

std::string ReplaceControlCharacters(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  std::size_t i = 0;
  while (i < text.size()) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (c < 0x80) {
      out += (c < 0x20 || c == 0x7F) ? '?' : static_cast<char>(c);
      ++i;
      continue;
    }
    const std::size_t length = Utf8SequenceLength(text, i);
    // C1 controls (U+0080..U+009F) and bytes that are not UTF-8 (a lone C1 byte) may be taken
    // as escape sequences by a terminal.
    if (length == 0 || (c == 0xC2 && static_cast<unsigned char>(text[i + 1]) <= 0x9F)) {
      out += '?';
      i += length == 0 ? 1 : length;
      continue;
    }
    out.append(text.substr(i, length));
    i += length;
  }
  return out;
}

}  // namespace vellumar

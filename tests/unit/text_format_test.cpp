#include "devices/base/text_format.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <stdexcept>

#include "devices/base/checked_math.h"

namespace vellumar {
namespace {

const LocaleSettings kDot{};

TEST(FormatCapacity, ThresholdsTruncateAndNeverRound) {
  EXPECT_EQ(FormatCapacity(0, kDot), "0 bytes");
  EXPECT_EQ(FormatCapacity(99'998, kDot), "99998 bytes");
  EXPECT_EQ(FormatCapacity(99'999, kDot), "99.99 KB");
  EXPECT_EQ(FormatCapacity(123'999, kDot), "123.99 KB");
  EXPECT_EQ(FormatCapacity(9'999'998, kDot), "9999.99 KB");
  EXPECT_EQ(FormatCapacity(9'999'999, kDot), "9.99 MB");
  EXPECT_EQ(FormatCapacity(10'240'000, kDot), "10.24 MB");
  EXPECT_EQ(FormatCapacity(9'999'999'999, kDot), "9.99 GB");
  EXPECT_EQ(FormatCapacity(10'000'000'000, kDot), "10 GB");
  EXPECT_EQ(FormatCapacity(500'107'862'016, kDot), "500.1 GB");
  EXPECT_EQ(FormatCapacity(1'000'000'000'000, kDot), "1000 GB");
  EXPECT_EQ(FormatCapacity(std::numeric_limits<std::int64_t>::max(), kDot), "9223372036.85 GB");
}

TEST(FormatCapacity, UsesTheUserDecimalSeparator) {
  LocaleSettings comma;
  comma.DecimalSeparator = ",";
  EXPECT_EQ(FormatCapacity(500'107'862'016, comma), "500,1 GB");
  EXPECT_EQ(FormatCapacity(10'000'000'000, comma), "10 GB");
}

TEST(GroupThousands, GroupsFromFiveDigitsOn) {
  EXPECT_EQ(GroupThousands(4096), "4096");
  EXPECT_EQ(GroupThousands(65536), "65,536");
  EXPECT_EQ(GroupThousands(10240000), "10,240,000");
  EXPECT_EQ(GroupThousands(std::numeric_limits<std::int64_t>::max()), "9,223,372,036,854,775,807");
}

TDeviceTable Entry(std::uint32_t number, std::string model, std::string fw, std::int64_t lba, std::int64_t sector) {
  TDeviceTable entry;
  entry.DeviceNumber = number;
  entry.IdentifyData.Model = std::move(model);
  entry.IdentifyData.FW = std::move(fw);
  entry.IdentifyData.LBA = lba;
  entry.IdentifyData.SectorSize = sector;
  return entry;
}

TEST(DriveCaption, TrimsOuterBlanksOnlyAndKeepsTheLayout) {
  EXPECT_EQ(DriveCaption(Entry(1, " DISK MODEL ", "FW01", 65535, 512), kDot),
            "[1]  DISK MODEL    FW01    [33.55 MB]    (65535 512-byte sectors)");
  EXPECT_EQ(DriveCaption(Entry(0, "\t\n", "", 65535, 512), kDot),
            "[0]          [33.55 MB]    (65535 512-byte sectors)");
}

TEST(DriveCaption, OverflowingProductRaisesInsteadOfWrapping) {
  EXPECT_THROW(DriveCaption(Entry(0, "M", "F", std::numeric_limits<std::int64_t>::max() / 2, 4096), kDot),
               std::overflow_error);
  EXPECT_THROW(CheckedMul(std::numeric_limits<std::int64_t>::min(), -1), std::overflow_error);
  EXPECT_THROW(CheckedAdd(std::numeric_limits<std::int64_t>::max(), 1), std::overflow_error);
}

std::tm Moment(int hour, int minute, int second) {
  std::tm t{};
  t.tm_year = 124;
  t.tm_mon = 4;
  t.tm_mday = 1;
  t.tm_hour = hour;
  t.tm_min = minute;
  t.tm_sec = second;
  return t;
}

TEST(FormatTimestamp, ShortDateSpaceLongTimeExceptAtMidnight) {
  EXPECT_EQ(FormatTimestamp(Moment(13, 45, 7), kDot), "2024-05-01 13:45:07");
  EXPECT_EQ(FormatTimestamp(Moment(0, 0, 0), kDot), "2024-05-01");
  EXPECT_EQ(FormatTimestamp(Moment(0, 0, 1), kDot), "2024-05-01 00:00:01");
  LocaleSettings german;
  german.ShortDateFormat = "%d.%m.%Y";
  german.LongTimeFormat = "%H:%M:%S";
  EXPECT_EQ(FormatTimestamp(Moment(9, 5, 3), german), "01.05.2024 09:05:03");
}

TEST(ReplaceControlCharacters, DeviceTextCannotCarryControlsButKeepsUtf8) {
  EXPECT_EQ(ReplaceControlCharacters("WD\x1b[2J\x07 Blue\x7f"), "WD?[2J? Blue?");
  EXPECT_EQ(ReplaceControlCharacters("A\xc2\x9b"
                                     "1mB"),
            "A?1mB")
      << "a C1 control in UTF-8";
  EXPECT_EQ(ReplaceControlCharacters("A\x9b"
                                     "1mB\xff"),
            "A?1mB?")
      << "bytes that are not UTF-8";
  EXPECT_EQ(ReplaceControlCharacters("Caf\xc3\xa9 \xea\xb0\x80 \xc2\xa0"), "Caf\xc3\xa9 \xea\xb0\x80 \xc2\xa0");
}

TEST(TrimText, DropsControlCharactersAndNulAtBothEnds) {
  EXPECT_EQ(TrimText(std::string("\0 A B\x1f ", 7)), "A B");
  EXPECT_EQ(TrimText("   "), "");
}

}  // namespace
}  // namespace vellumar

#include "devices/catalogue/hex_serial.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/fake_clock.h"
#include "support/log_capture.h"

namespace vellumar {
namespace {

class HexSerialTest : public ::testing::Test {
 protected:
  HexSerialTest() : logs_(clock_, LocaleSettings{}), debug_(logs_.Debug) { logs_.DebugMode = true; }

  testing::FakeClock clock_;
  LogSinks logs_;
  testing::LogCapture debug_;
};

TEST_F(HexSerialTest, StageOneReadsEachGroupAsTwoSwappedBytes) {
  EXPECT_EQ(DecodeHexSerial("42414443464548474A4931303332353437363938", logs_), "ABCDEFGHIJ0123456789");
  EXPECT_EQ(debug_.Texts(), (std::vector<std::string>{"Performing the WinXP SN trick...", "Stage 1..."}));
}

// A group giving a blank (0x20) in stage 1 sends the whole serial to stage 2, which swaps the
// digits: "4142" gives 0x24 and 0x14. Underscores and blanks count as the digit 2.
TEST_F(HexSerialTest, StageTwoSwapsTheDigitsWhenStageOneIsNotAlphanumeric) {
  for (const auto& [group, decoded] : {std::pair{"2020", "\x24\x14"}, std::pair{"_0 0", "\x24\x14"}}) {
    SCOPED_TRACE(group);
    EXPECT_EQ(DecodeHexSerial("4142" + std::string(group) + std::string(32, '3'), logs_).substr(0, 2), decoded);
    EXPECT_EQ(debug_.Texts().back(), "Stage 2...");
  }
}

TEST_F(HexSerialTest, SerialThatIsNotHexStaysUnchanged) {
  const std::string letters(40, 'G');
  EXPECT_EQ(DecodeHexSerial(letters, logs_), letters);
  EXPECT_EQ(debug_.Texts(), std::vector<std::string>{"Performing the WinXP SN trick..."});
}

}  // namespace
}  // namespace vellumar

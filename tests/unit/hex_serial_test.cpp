#include "devices/hex_serial.h"

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

TEST_F(HexSerialTest, StageTwoSwapsTheDigitsWhenStageOneIsNotAlphanumeric) {
  // "4142" gives B and A in stage 1; a group giving a blank (0x20) sends the whole serial to stage 2,
  // where "4142" gives the codes 0x24 and 0x14.
  const std::string serial = "4142" + std::string("2020") + std::string(32, '3');
  const std::string decoded = DecodeHexSerial(serial, logs_);
  EXPECT_EQ(debug_.Texts().back(), "Stage 2...");
  ASSERT_GE(decoded.size(), 2U);
  EXPECT_EQ(decoded.substr(0, 2), "\x24\x14");
}

TEST_F(HexSerialTest, UnderscoresAndBlanksCountAsTheDigitTwo) {
  // "_0 0" reads as "2020", a pair of blanks in stage 1, so stage 2 decides.
  const std::string serial = "3132" + std::string("_0 0") + std::string(32, '3');
  const std::string decoded = DecodeHexSerial(serial, logs_);
  EXPECT_EQ(debug_.Texts().back(), "Stage 2...");
  EXPECT_EQ(decoded.substr(0, 2), "\x23\x13");
}

TEST_F(HexSerialTest, SerialThatIsNotHexStaysUnchanged) {
  const std::string letters(40, 'G');
  EXPECT_EQ(DecodeHexSerial(letters, logs_), letters);
  EXPECT_EQ(debug_.Texts(), std::vector<std::string>{"Performing the WinXP SN trick..."});
}

}  // namespace
}  // namespace vellumar

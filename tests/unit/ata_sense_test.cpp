#include "platform/linux/ata/ata_sense.h"

#include <gtest/gtest.h>

#include <vector>

namespace vellumar::platform {
namespace {

TEST(AtaSense, DescriptorIsFoundBehindAnotherDescriptor) {
  const std::vector<std::uint8_t> sense = {0x72, 0x01, 0x00, 0x1d, 0, 0, 0, 0x1a,  // 26 bytes of descriptors
                                           0x00, 0x0a, 0,    0,    0, 0, 0, 0,    0, 0, 0, 0,  // information, 12 bytes
                                           0x09, 0x0c, 0,    0x04, 0, 0, 0, 0,    0, 0, 0, 0, 0xa0, 0x51};
  const AtaSense parsed = ParseAtaSense(sense);
  ASSERT_TRUE(parsed.HasAtaRegisters);
  EXPECT_EQ(parsed.AtaError, 0x04);
  EXPECT_EQ(parsed.AtaStatus, 0x51);
  EXPECT_FALSE(IsAtaStatusReturnOnly(parsed));
}

TEST(AtaSense, FixedFormatAbortedCommand) {
  // libata's answer to a command the drive aborted: error 0x04 (ABRT), status 0x41 (DRDY, ERR).
  const AtaSense parsed = ParseAtaSense(std::vector<std::uint8_t>{0x70, 0x00, 0x0b, 0, 0, 0, 0, 0x0a, 0x04, 0x41});
  EXPECT_EQ(parsed.SenseKey, kSenseKeyAbortedCommand);
  EXPECT_EQ(parsed.AtaError, 0x04);
  EXPECT_EQ(parsed.AtaStatus, 0x41);
}

TEST(AtaSense, TruncatedOrUnknownSenseIsNeverBenign) {
  EXPECT_FALSE(IsAtaStatusReturnOnly(ParseAtaSense({})));
  EXPECT_FALSE(IsAtaStatusReturnOnly(ParseAtaSense(std::vector<std::uint8_t>{0x72, 0x01, 0x00, 0x1d})));
  // The descriptor claims more bytes than arrived.
  EXPECT_FALSE(IsAtaStatusReturnOnly(
      ParseAtaSense(std::vector<std::uint8_t>{0x72, 0x01, 0x00, 0x1d, 0, 0, 0, 0x0e, 0x09, 0x0c, 0, 0})));
  EXPECT_FALSE(ParseAtaSense(std::vector<std::uint8_t>{0x7f, 0x01}).Valid);
}

}  // namespace
}  // namespace vellumar::platform

#include <gtest/gtest.h>

#include <climits>
#include <vector>

#include "devices/ata/ata_sanitize.h"
#include "devices/firmware/ata_firmware_commands.h"
#include "platform/linux/ata/sg_ata_command_channel.h"
#include "unit/fake_sg_kernel.h"

namespace vellumar::platform {
namespace {

using Bytes = std::vector<std::uint8_t>;
using Cdb = std::array<std::uint8_t, 16>;

// Sense bytes as the test rig's kernel (6.1) wrote them.
const Bytes kErasePrepareAborted = {0x70, 0, 0x0b, 0, 0, 0, 0, 0x0a, 0x04, 0x41, 0xe0, 0, 0, 0, 0, 0, 0x00, 0x00};
const Bytes kSanitizeStatusAborted = {0x70, 0, 0x0b, 0, 0, 0, 0, 0x0a, 0x04, 0x41, 0x40, 0, 0, 0, 0, 0, 0x80, 0x00};
const Bytes kSetMaxExtAborted = {0x70, 0, 0x0b, 0, 0, 0, 0, 0x0a, 0x04, 0x41, 0xe0, 0, 0, 0, 0, 0, 0x80, 0xff};
const Bytes kIdentifyBusy = {0x70, 0, 0x0b, 0, 0, 0, 0, 0x0a, 0x00, 0x58, 0x00, 0x01, 0, 0, 0, 0, 0, 0};
const Bytes kNativeMaxExt = {0x72, 0x01, 0x00, 0x1d, 0,    0,    0,    0x0e, 0x09, 0x0c, 0x01,
                             0x00, 0x00, 0x00, 0x00, 0xff, 0x00, 0xff, 0x00, 0x01, 0xe0, 0x50};
const Bytes kNativeMax28 = {0x72, 0x01, 0x00, 0x1d, 0,    0,    0,    0x0e, 0x09, 0x0c, 0x00,
                            0x00, 0x00, 0x00, 0x00, 0xff, 0x00, 0xff, 0x00, 0x01, 0xe3, 0x50};
// The rig's USB disk refuses the pass-through: INVALID COMMAND OPERATION CODE.
const Bytes kBridgeRefuses = {0x70, 0, 0x05, 0, 0, 0, 0, 0x0a, 0, 0, 0, 0, 0x20, 0, 0, 0, 0, 0};
// Later kernels' fixed format: registers in the information field (VALID set), LBA 7:0 in byte 9.
const Bytes kLaterFixedAborted = {0xf0, 0, 0x0b, 0x04, 0x51, 0x40, 0x00, 0x0a, 0x80, 0x07, 0, 0, 0, 0, 0, 0, 0, 0};

TEST(AtaCommandCdb, FullCommandsByteByByte) {
  // SANITIZE BLOCK ERASE EXT: the rig's capture but for CK_COND, which an erase does not ask for.
  EXPECT_EQ(BuildAtaCommand16(AtaSanitizeCommand(AtaSanitizeAction::BlockErase), 0),
            (Cdb{0x85, 0x07, 0x00, 0x00, 0x12, 0x00, 0x00, 0x42, 0x72, 0x00, 0x45, 0x00, 0x6b, 0x40, 0xb4, 0x00}));
  EXPECT_EQ(BuildAtaCommand16(AtaSanitizeCommand(AtaSanitizeAction::Status), 0)[2], 0x20);
  // SECURITY SET PASSWORD on a slave: PIO data-out, one sector counted in COUNT.
  EXPECT_EQ(BuildAtaCommand16(SecurityDataCommand(kAtaSecuritySetPassword), 1),
            (Cdb{0x85, 0x0a, 0x06, 0, 0, 0, 0x01, 0, 0, 0, 0, 0, 0, 0x50, 0xf1, 0}));
  AtaCommand identify{.Command = 0xEC, .Count = 1, .Direction = AtaDataDirection::In, .ReturnRegisters = true};
  EXPECT_EQ(BuildAtaCommand16(identify, 0)[2], 0x0e);  // never CK_COND with data
  // A 28-bit command: LBA 27:24 in the device register, nothing in the upper bytes.
  const AtaCommand setMax{.Command = 0xF9, .Feature = 0x00, .Count = 0, .Lba = 0x0ABCDEF1};
  EXPECT_EQ(BuildAtaCommand16(setMax, 0),
            (Cdb{0x85, 0x06, 0x00, 0, 0x00, 0, 0x00, 0, 0xf1, 0, 0xde, 0, 0xbc, 0x4a, 0xf9, 0}));
}

TEST(AtaCommandReply, SenseFromTheRigAndFromBridges) {
  struct Case {
    const char* What;
    std::uint8_t ScsiStatus;
    Bytes Sense;
    bool Extended;
    AtaReplyKind Kind;
    bool Registers;
    std::uint8_t Status;
    std::uint8_t Error;
    std::uint64_t Lba;
    const char* Detail;
  };
  const std::vector<Case> cases = {
      {"SECURITY ERASE PREPARE aborted", 0x02, kErasePrepareAborted, false, AtaReplyKind::DeviceError, true, 0x41, 0x04,
       0, "sense 0b/00/00"},
      {"SANITIZE STATUS EXT aborted", 0x02, kSanitizeStatusAborted, true, AtaReplyKind::DeviceError, true, 0x41, 0x04,
       0, "sense 0b/00/00"},
      {"SET MAX ADDRESS EXT aborted: only LBA 7:0 arrives", 0x02, kSetMaxExtAborted, true, AtaReplyKind::DeviceError,
       true, 0x41, 0x04, 0xff, "sense 0b/00/00"},
      {"later kernel's fixed format", 0x02, kLaterFixedAborted, true, AtaReplyKind::DeviceError, true, 0x51, 0x04, 7,
       "sense 0b/00/00"},
      {"READ NATIVE MAX ADDRESS EXT", 0x02, kNativeMaxExt, true, AtaReplyKind::Completed, true, 0x50, 0, 0x1ffff, ""},
      {"READ NATIVE MAX ADDRESS: LBA 27:24 from the device", 0x02, kNativeMax28, false, AtaReplyKind::Completed, true,
       0x50, 0, 0x301ffff, ""},
      {"BSY and DRQ left set", 0x02, kIdentifyBusy, false, AtaReplyKind::NotCarried, true, 0x58, 0, 0,
       "sense 0b/00/00"},
      {"USB bridge refuses", 0x02, kBridgeRefuses, false, AtaReplyKind::NotCarried, false, 0, 0, 0, "sense 05/20/00"},
      {"good status", 0x00, {}, false, AtaReplyKind::Completed, false, 0, 0, 0, ""},
      {"no sense", 0x02, {}, false, AtaReplyKind::NotCarried, false, 0, 0, 0, "no sense data"},
      {"unknown format", 0x02, {0x7e, 1, 2}, false, AtaReplyKind::NotCarried, false, 0, 0, 0, "sense format 0x7e"},
      {"busy", 0x08, {}, false, AtaReplyKind::NotCarried, false, 0, 0, 0, "SCSI status 0x08"},
  };
  for (const Case& c : cases) {
    const AtaReply reply = AtaReplyFromSense(c.ScsiStatus, c.Sense, c.Extended);
    EXPECT_EQ(reply.Kind, c.Kind) << c.What;
    EXPECT_EQ(reply.RegistersKnown, c.Registers) << c.What;
    EXPECT_EQ(reply.Status, c.Status) << c.What;
    EXPECT_EQ(reply.Error, c.Error) << c.What;
    EXPECT_EQ(reply.Lba, c.Lba) << c.What;
    EXPECT_EQ(reply.Detail, c.Detail) << c.What;
  }
}

class SgAtaCommandChannelTest : public ::testing::Test {
 protected:
  FakeSgKernel kernel_;
  SgAtaCommandChannel channel_{7, 0, kernel_.Caller()};
  AtaSector sector_{};
  const AtaCommand identify_{.Command = 0xEC, .Count = 1, .Direction = AtaDataDirection::In};
};

TEST_F(SgAtaCommandChannelTest, DataMovesWholeOrTheCommandWasNotCarried) {
  const AtaSector password = SecurityPasswordSector("secret", false);
  sector_ = password;
  EXPECT_EQ(channel_.Run(SecurityDataCommand(kAtaSecuritySetPassword, 7200), sector_).Kind, AtaReplyKind::Completed);
  ASSERT_EQ(kernel_.Requests.size(), 1U);
  EXPECT_EQ(kernel_.Requests[0].Direction, SG_DXFER_TO_DEV);
  EXPECT_EQ(kernel_.Requests[0].DataOut, Bytes(password.begin(), password.end()));
  EXPECT_EQ(kernel_.Requests[0].Timeout, 7'200'000U);

  struct Failure {
    const char* What;
    int Result;
    unsigned short Host;
    unsigned short Driver;
    int Resid;
    Bytes Sense;
    const char* Detail;
  };
  const std::vector<Failure> failures = {
      {"ioctl fails", -1, 0, 0, 0, {}, "SG_IO failed: Input/output error"},
      {"host error", 0, 0x03, 0, 0, {}, "host status 0x03"},
      {"driver error", 0, 0, 0x06, 0, {}, "driver status 0x06"},
      {"short transfer", 0, 0, 0, 12, {}, "short transfer: 12 of 512 bytes did not move"},
      {"bridge refuses", 0, 0, 0x08, 512, kBridgeRefuses, "sense 05/20/00"},
  };
  for (const Failure& f : failures) {
    kernel_ = FakeSgKernel{};
    kernel_.Result = f.Result;
    kernel_.HostStatus = f.Host;
    kernel_.DriverStatus = f.Driver;
    kernel_.Resid = f.Resid;
    if (!f.Sense.empty()) {
      kernel_.CheckCondition(f.Sense);
    }
    sector_.fill(0x11);
    const AtaReply reply = channel_.Run(identify_, sector_);
    EXPECT_EQ(reply.Kind, AtaReplyKind::NotCarried) << f.What;
    EXPECT_EQ(reply.Detail, f.Detail) << f.What;
    EXPECT_EQ(sector_[0], 0x11) << f.What;
  }
  kernel_ = FakeSgKernel{};
  EXPECT_EQ(channel_.Run(identify_, sector_).Kind, AtaReplyKind::Completed);
  EXPECT_EQ(sector_[511], 0x5A);
}

TEST_F(SgAtaCommandChannelTest, TimeoutsAndCommandsThatCannotBeSent) {
  AtaCommand status = AtaSanitizeCommand(AtaSanitizeAction::Status);
  status.TimeoutSeconds = UINT32_MAX;  // more milliseconds than SG_IO can count
  kernel_.CheckCondition(kNativeMaxExt);
  EXPECT_EQ(channel_.Run(status, {}).Lba, 0x1ffffU);
  ASSERT_EQ(kernel_.Requests.size(), 1U);
  EXPECT_EQ(kernel_.Requests[0].Timeout, UINT_MAX);
  EXPECT_EQ(kernel_.Requests[0].Direction, SG_DXFER_NONE);

  AtaCommand twoSectors = identify_;
  twoSectors.Count = 2;
  const AtaCommand tooHigh{.Command = 0xF9, .Lba = std::uint64_t{1} << 28U};
  for (const AtaCommand& refused : {twoSectors, tooHigh}) {
    EXPECT_EQ(channel_.Run(refused, sector_).Kind, AtaReplyKind::NotCarried);
  }
  EXPECT_EQ(kernel_.Requests.size(), 1U);
}

}  // namespace
}  // namespace vellumar::platform

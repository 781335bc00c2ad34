#include <gtest/gtest.h>
#include <linux/hdreg.h>
#include <scsi/sg.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <vector>

#include "devices/ata/ata_commands.h"
#include "devices/ata/ata_health.h"
#include "platform/linux/ata/linux_ata_passthrough.h"
#include "unit/fake_sg_kernel.h"

namespace vellumar::platform {
namespace {

// Sense data as libata answered on an emulated disk.
const std::vector<std::uint8_t> kStatusReturnSense = {0x72, 0x01, 0x00, 0x1d, 0x00, 0x00, 0x00, 0x0e, 0x09, 0x0c, 0x00,
                                                      0x00, 0x00, 0x01, 0x00, 0x01, 0x00, 0x4f, 0x00, 0xc2, 0xb0, 0x50};
const std::vector<std::uint8_t> kAbortedSense = {0x70, 0x00, 0x0b, 0x00, 0x00, 0x00, 0x00, 0x0a, 0x04,
                                                 0x41, 0xa0, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x01};

class LinuxAtaTest : public ::testing::Test {
 protected:
  FakeSgKernel kernel_;
  LinuxAtaPassThrough ata_{7, kernel_.Caller()};
  vellumar::AtaSector sector_{};
};

TEST(AtaPassThroughCdb, EveryByteOfSmartReadData) {
  const std::array<std::uint8_t, 16> expected = {0x85, 0x08, 0x0E, 0, 0xD0, 0,    1,    0,
                                                 1,    0,    0x4F, 0, 0xC2, 0xB0, 0xB0, 0};
  EXPECT_EQ(BuildAtaPassThrough16(vellumar::SmartRegisters(vellumar::kSmartFeatureReadData, 1), AtaProtocol::PioDataIn),
            expected);
}

TEST(AtaPassThroughCdb, NonDataCommandAsksForNoTransfer) {
  const auto cdb =
      BuildAtaPassThrough16(vellumar::SmartRegisters(vellumar::kSmartFeatureEnableOperations, 0), AtaProtocol::NonData);
  EXPECT_EQ(cdb[1], 0x06);
  EXPECT_EQ(cdb[2], 0x00);
  EXPECT_EQ(cdb[4], 0xD8);
  EXPECT_EQ(cdb[13], 0xA0);
}

TEST_F(LinuxAtaTest, PassThroughPutsTheSlaveIntoTheDeviceRegister) {
  ASSERT_TRUE(vellumar::SmartEnableOperations(ata_, 1));
  ASSERT_TRUE(vellumar::AtaIdentifyDevice(ata_, 1, sector_));
  ASSERT_EQ(kernel_.Requests.size(), 2U);
  EXPECT_EQ(kernel_.Requests[0].Cdb[13], 0xB0);
  EXPECT_EQ(kernel_.Requests[0].Direction, SG_DXFER_NONE);
  EXPECT_EQ(kernel_.Requests[1].Cdb[13], 0xB0);
  EXPECT_EQ(kernel_.Requests[1].Cdb[14], 0xEC);
  EXPECT_EQ(kernel_.Requests[1].Direction, SG_DXFER_FROM_DEV);
  EXPECT_EQ(kernel_.Requests[1].Length, 512U);
  EXPECT_EQ(sector_[0], 0x5A);
}

// Success is a good status, or a check condition that only returns the ATA status.
TEST_F(LinuxAtaTest, GoodStatusOrTheAtaStatusReturnAloneIsSuccess) {
  EXPECT_TRUE(ata_.PioDataIn(vellumar::AtaRoute::PassThrough, 0, vellumar::IdentifyDeviceRegisters(0), sector_));
  kernel_.Status = 0x02;
  kernel_.DriverStatus = 0x08;
  kernel_.Sense = kStatusReturnSense;
  EXPECT_TRUE(vellumar::SmartEnableOperations(ata_, 1));
  kernel_.Sense = kAbortedSense;
  EXPECT_FALSE(vellumar::SmartDisableOperations(ata_, 0));
}

TEST_F(LinuxAtaTest, FailedRequestsLeaveTheDestinationAlone) {
  struct Case {
    const char* What;
    int Result;
    unsigned char Status;
    unsigned short Host;
    unsigned short Driver;
    int Resid;
    std::vector<std::uint8_t> Sense;
  };
  std::vector<std::uint8_t> errorStatus = kStatusReturnSense;
  errorStatus[21] = 0x51;  // ERR set in the returned status
  const std::vector<Case> cases = {
      {"ioctl fails", -1, 0, 0, 0, 0, {}},
      {"drive aborted", 0, 0x02, 0, 0x08, 0, kAbortedSense},
      {"status return with ERR", 0, 0x02, 0, 0x08, 0, errorStatus},
      {"check condition without sense", 0, 0x02, 0, 0x08, 0, {}},
      {"host error", 0, 0, 0x07, 0, 0, {}},
      {"driver error", 0, 0, 0, 0x06, 0, {}},
      {"short transfer", 0, 0, 0, 0, 1, {}},
  };
  for (const Case& c : cases) {
    kernel_.Result = c.Result;
    kernel_.Status = c.Status;
    kernel_.HostStatus = c.Host;
    kernel_.DriverStatus = c.Driver;
    kernel_.Resid = c.Resid;
    kernel_.Sense = c.Sense;
    sector_.fill(0x11);
    EXPECT_FALSE(ata_.PioDataIn(vellumar::AtaRoute::PassThrough, 0, vellumar::IdentifyDeviceRegisters(0), sector_))
        << c.What;
    EXPECT_EQ(sector_[0], 0x11) << c.What;
    EXPECT_EQ(sector_[511], 0x11) << c.What;
  }
}

TEST_F(LinuxAtaTest, LegacySmartReadUsesDriveCmdWithTheSmartRegisters) {
  ASSERT_TRUE(ata_.PioDataIn(vellumar::AtaRoute::Legacy, 1,
                             vellumar::SmartRegisters(vellumar::kSmartFeatureReadData, 1), sector_));
  ASSERT_EQ(kernel_.Requests.size(), 1U);
  EXPECT_EQ(kernel_.Requests[0].Code, static_cast<unsigned long>(HDIO_DRIVE_CMD));
  EXPECT_EQ(kernel_.Requests[0].DriveCmd, (std::array<std::uint8_t, 4>{0xB0, 1, 0xD0, 1}));
  EXPECT_EQ(sector_[511], 0x5A);
}

TEST_F(LinuxAtaTest, LegacyIdentifyPutsTheTextFieldsBackIntoAtaWordOrder) {
  // The kernel's copy: serial "AB" in reading order at word 10, word 0 untouched by the fix.
  IoctlCaller identity = [](int /*fd*/, unsigned long code, void* argument) {
    auto* bytes = static_cast<std::uint8_t*>(argument);
    std::memset(bytes, 0, 512);
    EXPECT_EQ(code, static_cast<unsigned long>(HDIO_GET_IDENTITY));
    // Firmware at word 23, the last model word at 46; word 47 is not text.
    for (const auto& [at, value] : {std::pair{0, 0x40},
                                    {20, 'A'},
                                    {21, 'B'},
                                    {46, 'F'},
                                    {47, 'W'},
                                    {92, 'Y'},
                                    {93, 'Z'},
                                    {94, 0x12},
                                    {95, 0x34}}) {
      bytes[at] = static_cast<std::uint8_t>(value);
    }
    return 0;
  };
  LinuxAtaPassThrough legacy(3, identity);
  ASSERT_TRUE(legacy.PioDataIn(vellumar::AtaRoute::Legacy, 0, vellumar::IdentifyDeviceRegisters(0), sector_));
  EXPECT_EQ(sector_[0], 0x40);
  EXPECT_EQ(sector_[20], 'B');
  EXPECT_EQ(sector_[21], 'A');
  EXPECT_EQ(sector_[46], 'W');
  EXPECT_EQ(sector_[92], 'Z');
  EXPECT_EQ(sector_[93], 'Y');
  EXPECT_EQ(sector_[94], 0x12);
}

TEST_F(LinuxAtaTest, LegacyRouteFailureAndUnsupportedCommands) {
  kernel_.Result = -1;
  sector_.fill(0x11);
  EXPECT_FALSE(ata_.PioDataIn(vellumar::AtaRoute::Legacy, 0, vellumar::IdentifyDeviceRegisters(0), sector_));
  EXPECT_FALSE(ata_.PioDataIn(vellumar::AtaRoute::Legacy, 0,
                              vellumar::SmartRegisters(vellumar::kSmartFeatureReadData, 0), sector_));
  EXPECT_EQ(sector_[4], 0x11);
  kernel_.Result = 0;
  // The legacy route carries no non-data commands, and of the data-in commands only IDENTIFY
  // and SMART READ DATA of one sector: its buffer holds one.
  EXPECT_FALSE(ata_.NonDataCommand(vellumar::AtaRoute::Legacy, 0,
                                   vellumar::SmartRegisters(vellumar::kSmartFeatureEnableOperations, 0)));
  vellumar::AtaRegisters twoSectors = vellumar::SmartRegisters(vellumar::kSmartFeatureReadData, 0);
  twoSectors.SectorCount = 2;
  vellumar::AtaRegisters readLog = vellumar::SmartRegisters(0xD5, 0);
  vellumar::AtaRegisters other = vellumar::IdentifyDeviceRegisters(0);
  other.Command = 0x25;
  for (const vellumar::AtaRegisters& refused : {twoSectors, readLog, other}) {
    EXPECT_FALSE(ata_.PioDataIn(vellumar::AtaRoute::Legacy, 0, refused, sector_));
  }
  EXPECT_EQ(kernel_.Requests.size(), 2U);
}

}  // namespace
}  // namespace vellumar::platform

namespace vellumar::platform {
namespace {

// RETURN STATUS asks for the registers back (CK_COND) and takes LBA mid/high from the sense.
TEST_F(LinuxAtaTest, ReturnStatusReadsTheRegistersFromTheSense) {
  kernel_.Status = 0x02;
  kernel_.DriverStatus = 0x08;
  kernel_.Sense = kStatusReturnSense;
  EXPECT_EQ(vellumar::SmartReturnStatus(ata_, 1), vellumar::AtaHealthVerdict::Passed);
  ASSERT_EQ(kernel_.Requests.size(), 1U);
  EXPECT_EQ(kernel_.Requests[0].Cdb[2], 0x20);
  EXPECT_EQ(kernel_.Requests[0].Cdb[4], 0xDA);
  kernel_.Sense[17] = 0xF4;
  kernel_.Sense[19] = 0x2C;
  EXPECT_EQ(vellumar::SmartReturnStatus(ata_, 1), vellumar::AtaHealthVerdict::ThresholdExceeded);
  // Without registers in the sense (a good status alone) the verdict is unknown, never "passed".
  kernel_.Status = 0;
  kernel_.Sense.clear();
  EXPECT_EQ(vellumar::SmartReturnStatus(ata_, 1), vellumar::AtaHealthVerdict::Unknown);
}

}  // namespace
}  // namespace vellumar::platform

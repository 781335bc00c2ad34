#include "devices/ata/ata_commands.h"

#include <gtest/gtest.h>

#include "ata_test_support.h"

namespace vellumar {
namespace {

using atatest::FakeAta;

constexpr AtaRegisters kSmartRead{0xD0, 1, 1, 0x4F, 0xC2, 0xA0, 0xB0};

TEST(AtaCommands, RegisterBlocksFollowTheCommandTable) {
  EXPECT_EQ(SmartRegisters(kSmartFeatureReadData, 0), kSmartRead);
  EXPECT_EQ(SmartRegisters(kSmartFeatureEnableOperations, 0), (AtaRegisters{0xD8, 1, 1, 0x4F, 0xC2, 0xA0, 0xB0}));
  EXPECT_EQ(SmartRegisters(kSmartFeatureDisableOperations, 0), (AtaRegisters{0xD9, 1, 1, 0x4F, 0xC2, 0xA0, 0xB0}));
  EXPECT_EQ(IdentifyDeviceRegisters(0), (AtaRegisters{0, 1, 1, 0, 0, 0xA0, 0xEC}));
}

TEST(AtaCommands, SlaveGetsDriveHeadB0AndDriveNumberOne) {
  FakeAta ata;
  AtaSector sector{};
  ASSERT_TRUE(SmartEnableOperations(ata, 1));
  ASSERT_TRUE(SmartReadData(ata, 1, sector));
  ASSERT_TRUE(SmartDisableOperations(ata, 1));
  ASSERT_TRUE(AtaIdentifyDevice(ata, 1, sector));
  ASSERT_EQ(ata.Calls.size(), 4U);
  for (const atatest::AtaCall& call : ata.Calls) {
    EXPECT_EQ(call.Slave, 1);
    EXPECT_EQ(call.Registers.DriveHead, 0xB0);
  }
}

TEST(AtaCommands, EnableAndDisableUseOnlyThePassThroughAndCarryNoData) {
  FakeAta ata;
  ata.Answers = {false, false};
  EXPECT_FALSE(SmartEnableOperations(ata, 0));
  EXPECT_FALSE(SmartDisableOperations(ata, 0));
  ASSERT_EQ(ata.Calls.size(), 2U);
  for (const atatest::AtaCall& call : ata.Calls) {
    EXPECT_FALSE(call.DataIn);
    EXPECT_EQ(call.Route, AtaRoute::PassThrough);
  }
}

TEST(AtaCommands, DataInFallsBackToTheLegacyRouteOnce) {
  for (const bool identify : {false, true}) {
    FakeAta ata;
    ata.Answers = {false, true};
    ata.Sector.fill(0x5A);
    ata.Identify.fill(0x5A);
    AtaSector sector{};
    EXPECT_TRUE(identify ? AtaIdentifyDevice(ata, 0, sector) : SmartReadData(ata, 0, sector));
    ASSERT_EQ(ata.Calls.size(), 2U);
    EXPECT_EQ(ata.Calls[0].Route, AtaRoute::PassThrough);
    EXPECT_EQ(ata.Calls[1].Route, AtaRoute::Legacy);
    EXPECT_EQ(ata.Calls[0].Registers, ata.Calls[1].Registers);
    EXPECT_EQ(sector[511], 0x5A);
  }
}

TEST(AtaCommands, BothRoutesFailingLeavesTheDestinationAlone) {
  FakeAta ata;
  ata.Answers = {false, false};
  AtaSector sector{};
  sector.fill(0x11);
  EXPECT_FALSE(AtaIdentifyDevice(ata, 0, sector));
  EXPECT_EQ(ata.Calls.size(), 2U);
  EXPECT_EQ(sector[0], 0x11);
  EXPECT_EQ(sector[511], 0x11);
}

}  // namespace
}  // namespace vellumar

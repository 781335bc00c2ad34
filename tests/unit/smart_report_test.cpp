#include "devices/smart_report.h"

#include <gtest/gtest.h>

#include "ata_test_support.h"
#include "devices/smart_attribute_names.h"

namespace vellumar {
namespace {

using atatest::CapturedLogs;
using atatest::FakeAta;
using atatest::SectorBuilder;

// One attribute entry k of a S.M.A.R.T. data sector.
void PutEntry(SectorBuilder& sector, std::size_t k, std::uint8_t id, std::uint8_t current, std::uint8_t worst,
              std::array<std::uint8_t, 6> raw) {
  const std::size_t at = 2 + 12 * k;
  sector.Byte(at, id).Byte(at + 3, current).Byte(at + 4, worst);
  for (std::size_t i = 0; i < raw.size(); ++i) {
    sector.Byte(at + 5 + i, raw[i]);
  }
}

TDeviceTable Drive(std::int64_t busType) {
  TDeviceTable drive;
  drive.IdentifyData.BusType = busType;
  return drive;
}

AtaSector IdentifyWithSmart(bool enabled) {
  SectorBuilder id;
  id.Word(82, 0x0001).Word(85, enabled ? 0x0001 : 0x0000);
  return id.Bytes();
}

std::vector<std::uint8_t> Features(const FakeAta& ata) {
  std::vector<std::uint8_t> features;
  for (const atatest::AtaCall& call : ata.Calls) {
    features.push_back(call.Registers.Command == 0xEC ? 0xEC : call.Registers.Features);
  }
  return features;
}

TEST(SmartNames, TableAndLookup) {
  EXPECT_EQ(SmartAttributeName(194), "HDA Temperature           ");
  EXPECT_EQ(SmartAttributeName(200), "Write error rate at preamp");
  EXPECT_EQ(SmartAttributeName(14), "Unknown                   ");
  EXPECT_EQ(SmartAttributeName(255), "Unknown                   ");
  EXPECT_EQ(SmartAttributeName(192), SmartAttributeName(228));
  std::size_t named = 0;
  for (const std::string_view name : SmartAttributeNames) {
    EXPECT_LE(name.size(), kSmartNameWidth) << name;
    named += name.empty() ? 0U : 1U;
  }
  EXPECT_EQ(named, 54U);
}

TEST(SmartLines, ColumnsAndTemperatureNoteFromTheLowestRawByte) {
  SectorBuilder sector;
  PutEntry(sector, 0, 194, 36, 50, {0x24, 0x00, 0x0F, 0x00, 0x32, 0x00});
  PutEntry(sector, 1, 190, 69, 69, {45});
  PutEntry(sector, 2, 5, 100, 100, {});
  const std::vector<SmartAttribute> attributes = DecodeSmartAttributes(sector.Bytes());
  ASSERT_EQ(attributes.size(), 3U);
  const std::string line = SmartAttributeLine(attributes[0]);
  EXPECT_EQ(line, " 194  C2  HDA Temperature                   36       50      214749347876  (36 degrees) ");
  EXPECT_EQ(line[45], '6');                                  // current ends in column 46
  EXPECT_EQ(line[54], '0');                                  // worst ends in column 55
  EXPECT_EQ(line[72], '6');                                  // raw ends in column 73
  EXPECT_EQ(SmartAttributeLine(attributes[1]).size(), 73U);  // no note for 190
  EXPECT_EQ(SmartAttributeLine(attributes[2]),
            " 5    05  Reallocated sectors count        100      100                 0");
}

TEST(SmartLines, LargestRawValueAndUnknownName) {
  SectorBuilder sector;
  PutEntry(sector, 0, 0xFE, 253, 1, {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF});
  const std::vector<SmartAttribute> attributes = DecodeSmartAttributes(sector.Bytes());
  ASSERT_EQ(attributes.size(), 1U);
  EXPECT_EQ(SmartAttributeLine(attributes[0]),
            " 254  FE  Unknown                          253        1   281474976710655");
}

TEST(SmartDecode, WalkStopsAtIdZeroOrAfterThirtyEntries) {
  SectorBuilder sector;
  EXPECT_TRUE(DecodeSmartAttributes(sector.Bytes()).empty());
  for (std::size_t k = 0; k < 31; ++k) {
    PutEntry(sector, k, static_cast<std::uint8_t>(k + 1), 100, 100, {});
  }
  EXPECT_EQ(DecodeSmartAttributes(sector.Bytes()).size(), 30U);
  PutEntry(sector, 3, 0, 1, 1, {1});
  EXPECT_EQ(DecodeSmartAttributes(sector.Bytes()).size(), 3U);
}

TEST(SmartTable, EmptyTableKeepsHeaderRuleAndBlank) {
  const std::vector<std::string> lines = SmartTableLines({});
  ASSERT_EQ(lines.size(), 3U);
  EXPECT_EQ(lines[0].size(), 80U);
  EXPECT_EQ(lines[1], std::string(88, '-'));
  EXPECT_EQ(lines[2], " ");
}

TEST(SmartReportFiles, CapturedSectorGivesTheExpectedReport) {
  CapturedLogs logs;
  FakeAta ata;
  ata.Sector = atatest::LoadSector("qemu-pata-master-smart-data.bin");
  AtaDriveState state;
  EXPECT_TRUE(RunSmartReport(Drive(kBusSata),
                             "[0]  ATA RIG PATA-MASTER    PMFW1.01    [67.1 MB]    (131072 512-byte sectors)", &ata,
                             logs.Logs, state));
  EXPECT_EQ(logs.Smart, atatest::LoadLines("qemu-pata-master-smart-data.smart.txt"));
  EXPECT_EQ(Features(ata), (std::vector<std::uint8_t>{0xD0}));  // other buses: read data only
}

TEST(SmartReportRun, TwoReportsInARowAppendTwoCompleteReports) {
  CapturedLogs logs;
  FakeAta ata;
  ata.Sector = atatest::LoadSector("qemu-pata-master-smart-data.bin");
  AtaDriveState state;
  RunSmartReport(Drive(kBusSata), "d", &ata, logs.Logs, state);
  const std::size_t first = logs.Smart.size();
  RunSmartReport(Drive(kBusSata), "d", &ata, logs.Logs, state);
  ASSERT_EQ(logs.Smart.size(), 2 * first);
  EXPECT_EQ(logs.Smart[first], " ");
  EXPECT_EQ(logs.Smart[first + 1], "Current date and time: 2024-05-01 13:45:07");
}

TEST(SmartReportRun, AtaBusEnablesReadsAndLeavesAnEnabledSwitchOn) {
  CapturedLogs logs;
  FakeAta ata;
  AtaDriveState state;
  state.Identify = DecodeIdePassport(IdentifyWithSmart(true));
  EXPECT_TRUE(RunSmartReport(Drive(kBusAta), "d", &ata, logs.Logs, state));
  EXPECT_EQ(Features(ata), (std::vector<std::uint8_t>{0xD8, 0xD0}));
}

TEST(SmartReportRun, AtaBusSwitchesOffAgainWhenItWasOff) {
  CapturedLogs logs;
  FakeAta ata;
  AtaDriveState state;
  state.Identify = DecodeIdePassport(IdentifyWithSmart(false));
  EXPECT_TRUE(RunSmartReport(Drive(kBusAta), "d", &ata, logs.Logs, state));
  EXPECT_EQ(Features(ata), (std::vector<std::uint8_t>{0xD8, 0xD0, 0xD9}));
  EXPECT_FALSE(ata.Calls.back().DataIn);
}

TEST(SmartReportRun, AtaBusReadsIdentifyFirstWhenNothingIsKnown) {
  CapturedLogs logs;
  FakeAta ata;
  ata.Identify = IdentifyWithSmart(false);
  AtaDriveState state;
  EXPECT_TRUE(RunSmartReport(Drive(kBusAta), "d", &ata, logs.Logs, state));
  EXPECT_EQ(Features(ata), (std::vector<std::uint8_t>{0xEC, 0xD8, 0xD0, 0xD9}));
  ASSERT_TRUE(state.Identify.has_value());
  ata.Calls.clear();
  RunSmartReport(Drive(kBusAta), "d", &ata, logs.Logs, state);  // the state is reused
  EXPECT_EQ(Features(ata), (std::vector<std::uint8_t>{0xD8, 0xD0, 0xD9}));
}

TEST(SmartReportRun, UnknownSwitchStaysOn) {
  CapturedLogs logs;
  FakeAta ata;
  ata.Answers = {false, false, true, true};  // IDENTIFY fails on both routes
  AtaDriveState state;
  EXPECT_TRUE(RunSmartReport(Drive(kBusAta), "d", &ata, logs.Logs, state));
  EXPECT_EQ(Features(ata), (std::vector<std::uint8_t>{0xEC, 0xEC, 0xD8, 0xD0}));
}

TEST(SmartReportRun, RefusedEnableSkipsTheReadAndSaysNotSupported) {
  CapturedLogs logs;
  FakeAta ata;
  ata.Answers = {false};
  AtaDriveState state;
  state.Identify = DecodeIdePassport(IdentifyWithSmart(false));
  EXPECT_FALSE(RunSmartReport(Drive(kBusAta), "d", &ata, logs.Logs, state));
  EXPECT_EQ(Features(ata), (std::vector<std::uint8_t>{0xD8, 0xD9}));
  ASSERT_EQ(logs.Smart.size(), 6U);
  EXPECT_EQ(logs.Smart[3], "SMART data for d");
  EXPECT_EQ(logs.Smart[5], "SMART is not supported by this device.");
}

TEST(SmartReportRun, NoTransportOrFailedReadSaysNotSupported) {
  CapturedLogs logs;
  AtaDriveState state;
  EXPECT_FALSE(RunSmartReport(Drive(kBusNvme), "d", nullptr, logs.Logs, state));
  FakeAta ata;
  ata.Answers = {false, false};
  EXPECT_FALSE(RunSmartReport(Drive(kBusUsb), "d", &ata, logs.Logs, state));
  EXPECT_EQ(Features(ata), (std::vector<std::uint8_t>{0xD0, 0xD0}));
  ASSERT_EQ(logs.Smart.size(), 12U);
  EXPECT_EQ(logs.Smart[5], "SMART is not supported by this device.");
  EXPECT_EQ(logs.Smart[11], "SMART is not supported by this device.");
}

}  // namespace
}  // namespace vellumar

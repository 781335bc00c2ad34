#include "devices/reports/smart_report.h"

#include <gtest/gtest.h>

#include <deque>

#include "ata_test_support.h"
#include "devices/ata/smart_attribute_names.h"

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

TEST(SmartNames, NamesArePaddedAndGapsAreUnknown) {
  EXPECT_EQ(SmartAttributeName(200), "Write error rate at preamp");
  EXPECT_EQ(SmartAttributeName(14), "Unknown                   ");
  EXPECT_EQ(SmartAttributeName(192), SmartAttributeName(228));
  for (const std::string_view name : SmartAttributeNames) {
    EXPECT_LE(name.size(), kSmartNameWidth) << name;
  }
}

TEST(SmartLines, ColumnsAndTemperatureNoteFromTheLowestRawByte) {
  SectorBuilder sector;
  PutEntry(sector, 0, 194, 36, 50, {0x24, 0x00, 0x0F, 0x00, 0x32, 0x00});
  PutEntry(sector, 1, 190, 69, 69, {45});
  PutEntry(sector, 2, 5, 100, 100, {});
  PutEntry(sector, 3, 0xFE, 253, 1, {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF});
  const std::vector<SmartAttribute> attributes = DecodeSmartAttributes(sector.Bytes());
  ASSERT_EQ(attributes.size(), 4U);
  const std::string line = SmartAttributeLine(attributes[0]);
  EXPECT_EQ(line, " 194  C2  HDA Temperature                   36       50      214749347876  (36 degrees) ");
  EXPECT_EQ(line[45], '6');                                  // current ends in column 46
  EXPECT_EQ(line[54], '0');                                  // worst ends in column 55
  EXPECT_EQ(line[72], '6');                                  // raw ends in column 73
  EXPECT_EQ(SmartAttributeLine(attributes[1]).size(), 73U);  // no note for 190
  EXPECT_EQ(SmartAttributeLine(attributes[2]),
            " 5    05  Reallocated sectors count        100      100                 0");
  EXPECT_EQ(SmartAttributeLine(attributes[3]),
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

// S.M.A.R.T. is switched off again at the end only when the drive had it off before.
TEST(SmartReportRun, AtaBusEnablesReadsAndRestoresTheSwitch) {
  struct Case {
    const char* What;
    int KnownSwitch;  // -1: IDENTIFY not read yet
    std::deque<bool> Answers;
    bool Ok;
    std::vector<std::uint8_t> Features;
  };
  const std::vector<Case> cases = {
      {"known on", 1, {}, true, {0xD8, 0xD0}},
      {"known off", 0, {}, true, {0xD8, 0xD0, 0xD9}},
      {"read first, off", -1, {}, true, {0xEC, 0xD8, 0xD0, 0xD9}},
      {"unknown stays on", -1, {false, false, true, true}, true, {0xEC, 0xEC, 0xD8, 0xD0}},
      {"refused enable", 0, {false}, false, {0xD8, 0xD9}},
      // The kernel's cached IDENTIFY may be stale: off by it is no reason to switch off.
      {"legacy copy says off", -1, {false, true, true, true}, true, {0xEC, 0xEC, 0xD8, 0xD0}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.What);
    CapturedLogs logs;
    FakeAta ata;
    ata.Answers = c.Answers;
    ata.Identify = IdentifyWithSmart(false);
    AtaDriveState state;
    if (c.KnownSwitch >= 0) {
      state.Identify = DecodeIdePassport(IdentifyWithSmart(c.KnownSwitch == 1));
      state.IdentifyFromDrive = true;
    }
    EXPECT_EQ(RunSmartReport(Drive(kBusAta), "d", &ata, logs.Logs, state), c.Ok);
    EXPECT_EQ(Features(ata), c.Features);
    EXPECT_EQ(logs.Smart.back() == "SMART is not supported by this device.", !c.Ok);
  }
}

TEST(SmartReportRun, IdentifyIsReadOnceAndReused) {
  CapturedLogs logs;
  FakeAta ata;
  ata.Identify = IdentifyWithSmart(false);
  AtaDriveState state;
  RunSmartReport(Drive(kBusAta), "d", &ata, logs.Logs, state);
  ASSERT_TRUE(state.Identify.has_value());
  ata.Calls.clear();
  RunSmartReport(Drive(kBusAta), "d", &ata, logs.Logs, state);
  EXPECT_EQ(Features(ata), (std::vector<std::uint8_t>{0xD8, 0xD0, 0xD9}));
  EXPECT_EQ(logs.Smart[3], "SMART data for d");
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

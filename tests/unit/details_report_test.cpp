#include "devices/reports/details_report.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "ata_test_support.h"

namespace vellumar {
namespace {

using atatest::CapturedLogs;
using atatest::FakeAta;
using atatest::SectorBuilder;

TDeviceTable Drive(std::int64_t busType, std::uint8_t slave = 0) {
  TDeviceTable drive;
  drive.IdentifyData.BusType = busType;
  drive.IdentifyData.IsIDESlave = slave;
  return drive;
}

std::vector<std::string> Body(const std::vector<std::string>& lines) {
  return {lines.begin() + std::min<std::ptrdiff_t>(5, static_cast<std::ptrdiff_t>(lines.size())), lines.end()};
}

bool Contains(const std::vector<std::string>& lines, const std::string& line) {
  return std::find(lines.begin(), lines.end(), line) != lines.end();
}

TEST(DetailsReportFiles, CapturedSectorsGiveTheExpectedReports) {
  for (const std::string name : {"qemu-pata-master-identify", "qemu-pata-slave-identify"}) {
    CapturedLogs logs;
    RunDetailsReportForSector(name + ".bin", atatest::LoadSector(name + ".bin"), logs.Logs);
    EXPECT_EQ(logs.Details, atatest::LoadLines(name + ".details.txt")) << name;
  }
}

TEST(DetailsReportFiles, SataDriveThroughTheTransport) {
  CapturedLogs logs;
  FakeAta ata;
  ata.Identify = atatest::LoadSector("qemu-ahci-sata-identify.bin");
  AtaDriveState state;
  EXPECT_TRUE(RunDetailsReport(Drive(kBusSata),
                               "[2]  ATA RIG AHCI-SATA DISK    SAFW3.03    [67.1 MB]    (131072 512-byte sectors)",
                               &ata, logs.Logs, state));
  EXPECT_EQ(logs.Details, atatest::LoadLines("qemu-ahci-sata-identify.details.txt"));
  ASSERT_TRUE(state.Identify.has_value());
  EXPECT_EQ(state.Identify->sn, "RIGSA0003");
}

TEST(DetailsReportRun, AtaBusRetriesOnceThenReportsAnInternalError) {
  for (const bool secondSucceeds : {false, true}) {
    SCOPED_TRACE(secondSucceeds);
    CapturedLogs logs;
    FakeAta ata;
    ata.Answers = {false, false, secondSucceeds, false};  // both routes, twice
    AtaDriveState state;
    EXPECT_EQ(RunDetailsReport(Drive(kBusAta, 1), "caption", &ata, logs.Logs, state), secondSucceeds);
    EXPECT_EQ(ata.Calls.size(), secondSucceeds ? 3U : 4U);
    EXPECT_EQ(state.Identify.has_value(), secondSucceeds);
    if (!secondSucceeds) {
      EXPECT_EQ(Body(logs.Details),
                (std::vector<std::string>{"Details are unavailable: Internal error.",
                                          "Please post this problem on https://vellumar.example/forum"}));
    }
  }
}

TEST(DetailsReportRun, OtherBusesGetOneAttemptAndOneLine) {
  for (const bool hasTransport : {true, false}) {
    CapturedLogs logs;
    FakeAta ata;
    ata.Answers = {false, false};
    AtaDriveState state;
    EXPECT_FALSE(RunDetailsReport(Drive(kBusUsb), "[3]  USB DISK    1.00    [1 GB]    (x)",
                                  hasTransport ? &ata : nullptr, logs.Logs, state));
    EXPECT_EQ(ata.Calls.size(), hasTransport ? 2U : 0U);
    EXPECT_EQ(logs.Details, (std::vector<std::string>{" ", "Current date and time: 2024-05-01 13:45:07",
                                                      "Vellumar 4.50; https://vellumar.example/",
                                                      "Device details for [3]  USB DISK    1.00    [1 GB]    (x)", " ",
                                                      "Details are unavailable for this device."}));
  }
}

TEST(DetailsLinesTest, SecurityBlocks) {
  SectorBuilder id;
  id.Word(82, 0x0002).Word(128, 0x0006);  // enabled and locked, level high
  std::vector<std::string> lines = DetailsLines(DecodeIdePassport(id.Bytes()), LocaleSettings{});
  auto at = std::find(lines.begin(), lines.end(), "SECURITY:");
  ASSERT_NE(at, lines.end());
  EXPECT_EQ(std::vector<std::string>(at + 1, at + 5),
            (std::vector<std::string>{"Security features is supported", "The drive is currently LOCKED",
                                      "Security level: High",
                                      "Device needs either USER or MASTER password to be unlocked."}));
  id.Word(128, 0x0106);
  lines = DetailsLines(DecodeIdePassport(id.Bytes()), LocaleSettings{});
  at = std::find(lines.begin(), lines.end(), "The drive is currently LOCKED");
  ASSERT_NE(at, lines.end());
  EXPECT_EQ(
      std::vector<std::string>(at + 1, at + 4),
      (std::vector<std::string>{"Security level: Maximum", "Device needs USER password to be unlocked.",
                                "If USER password is unknown, the device could be erased with MASTER password."}));
  id.Word(128, 0x0002);  // a password is set but the drive is unlocked
  lines = DetailsLines(DecodeIdePassport(id.Bytes()), LocaleSettings{});
  EXPECT_TRUE(Contains(lines, "The device is currently not locked"));
  EXPECT_FALSE(Contains(lines, "The drive is currently LOCKED"));
  id.Word(82, 0).Word(128, 0x0006);  // word 128 is not read without the feature set
  EXPECT_FALSE(
      Contains(DetailsLines(DecodeIdePassport(id.Bytes()), LocaleSettings{}), "The drive is currently LOCKED"));
}

TEST(DetailsLinesTest, CapacityUsesTheLogicalSectorSize) {
  SectorBuilder id;
  id.Word(49, 0x0200).Word(60, 0xFFFF).Word(61, 0x0FFF).Word(83, 0x0400).Word(100, 0x6030).Word(101, 0x3A38);
  std::vector<std::string> lines = DetailsLines(DecodeIdePassport(id.Bytes()), LocaleSettings{});
  EXPECT_TRUE(Contains(lines, "Sectors available with LBA commands: 268,435,455"));
  EXPECT_TRUE(Contains(lines, "Sectors available with LBA48 commands: 976,773,168"));
  EXPECT_TRUE(Contains(lines, "Full device capacity: 500,107,862,016 bytes"));
  id.Word(106, 0x5000).Word(117, 2048);  // 4096-byte logical sectors
  lines = DetailsLines(DecodeIdePassport(id.Bytes()), LocaleSettings{});
  EXPECT_TRUE(Contains(lines, "Full device capacity: 4,000,862,896,128 bytes"));
  id.Word(100, 0xFFFF).Word(101, 0xFFFF).Word(102, 0xFFFF).Word(103, 0x7FFF).Word(106, 0);  // beyond int64 bytes
  lines = DetailsLines(DecodeIdePassport(id.Bytes()), LocaleSettings{});
  EXPECT_TRUE(Contains(lines, "Full device capacity: 4,722,366,482,869,645,213,184 bytes"));
}

}  // namespace
}  // namespace vellumar

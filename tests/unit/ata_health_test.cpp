#include "devices/ata/ata_health.h"

#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "ata_test_support.h"
#include "devices/reports/report_json.h"
#include "platform/linux/ata/ata_sense.h"

namespace vellumar {
namespace {

struct ReferenceRow {
  int Value = 0;
  int Threshold = 0;
  std::uint64_t Raw = 0;
};

// The attribute table and the verdict as the reference tool printed them for the same disk.
std::map<int, ReferenceRow> ReferenceTable(const std::string& disk, std::string& verdict) {
  std::map<int, ReferenceRow> rows;
  for (const std::string& line : atatest::LoadLines("qemu-" + disk + ".smartctl-H-A.txt")) {
    if (line.find("self-assessment test result: ") != std::string::npos) {
      verdict = line.substr(line.rfind(' ') + 1);
    }
    std::istringstream fields(line);
    int id = 0;
    int worst = 0;
    std::string name, flag, type, updated, failed;
    ReferenceRow row;
    // ID# ATTRIBUTE_NAME FLAG VALUE WORST THRESH TYPE UPDATED WHEN_FAILED RAW_VALUE
    if (fields >> id >> name >> flag >> row.Value >> worst >> row.Threshold >> type >> updated >> failed >> row.Raw) {
      rows[id] = row;
    }
  }
  return rows;
}

std::vector<std::uint8_t> LoadBytes(const std::string& name) {
  std::ifstream file(atatest::AtaDataPath(name), std::ios::binary);
  return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

TEST(AtaHealth, CapturedSectorsMatchTheReferenceTool) {
  for (const std::string disk : {"pata-master", "pata-slave", "ahci-sata"}) {
    std::string verdict;
    const std::map<int, ReferenceRow> reference = ReferenceTable(disk, verdict);
    ASSERT_EQ(reference.size(), 7U) << disk;

    // The verdict: the registers RETURN STATUS left in the captured sense data.
    const std::vector<std::uint8_t> sense = LoadBytes("qemu-" + disk + "-return-status-sense.bin");
    const platform::AtaSense parsed = platform::ParseAtaSense(sense);
    ASSERT_TRUE(parsed.HasAtaLba) << disk;
    EXPECT_EQ(DecodeSmartReturnStatus(parsed.AtaLbaMid, parsed.AtaLbaHigh), AtaHealthVerdict::Passed) << disk;
    EXPECT_EQ(verdict, "PASSED") << disk;

    AtaSmartFacts facts;
    facts.Available = true;
    facts.Attributes = DecodeSmartAttributes(atatest::LoadSector("qemu-" + disk + "-smart-data.bin"));
    facts.Thresholds = DecodeSmartThresholds(atatest::LoadSector("qemu-" + disk + "-smart-thresholds.bin"));
    facts.Verdict = AtaHealthVerdict::Passed;
    const Json doc = AtaSmartJson(FileSourceJson(disk), facts);
    ASSERT_EQ(doc["attributes"].size(), reference.size()) << disk;
    for (const Json& attribute : doc["attributes"]) {
      const ReferenceRow& row = reference.at(attribute["id"].get<int>());
      EXPECT_EQ(attribute["current"], row.Value) << disk;
      EXPECT_EQ(attribute["threshold"], row.Threshold) << disk;
    }
    EXPECT_EQ(doc["health"]["verdict"], "PASSED");
    // Power-on hours and the temperature (id 190's low byte) as the tool decodes them.
    EXPECT_EQ(doc["power_on_hours"], reference.at(9).Raw) << disk;
    EXPECT_EQ(doc["temperature_celsius"], reference.at(190).Raw) << disk;
  }
}

TEST(AtaHealth, VerdictAndStandardValues) {
  EXPECT_EQ(DecodeSmartReturnStatus(0x4F, 0xC2), AtaHealthVerdict::Passed);
  EXPECT_EQ(DecodeSmartReturnStatus(0xF4, 0x2C), AtaHealthVerdict::ThresholdExceeded);
  EXPECT_EQ(DecodeSmartReturnStatus(0x00, 0x00), AtaHealthVerdict::Unknown);
  EXPECT_EQ(DecodeSmartReturnStatus(0x4F, 0x2C), AtaHealthVerdict::Unknown);

  // Vendors pack more into the upper raw bytes; only the standard part counts.
  const std::vector<SmartAttribute> attributes = {{9, 100, 100, 0x0000'1234'0000'0010ULL, 0x10},
                                                  {190, 60, 50, 0x0028'0014'002AULL, 0x2A},
                                                  {194, 60, 50, 0x0032'0014'0025ULL, 0x25},
                                                  {197, 100, 100, 3, 3}};
  const AtaStandardValues values = DecodeStandardValues(attributes);
  EXPECT_EQ(values.PowerOnHours, 0x10U);
  EXPECT_EQ(values.TemperatureCelsius, 0x25U);  // 194 before 190
  EXPECT_EQ(values.PendingSectors, 3U);
  EXPECT_FALSE(values.ReallocatedSectors.has_value());
}

TEST(AtaHealth, JsonCommandsRunWhileSmartIsOnAndOnlyReadState) {
  struct Case {
    const char* Name;
    std::uint8_t Mid, High;
    const char* Verdict;  // nullptr: health unknown
    bool SmartWasOff;
  };
  for (const Case& c : std::vector<Case>{{"passed", 0x4F, 0xC2, "PASSED", false},
                                         {"exceeded", 0xF4, 0x2C, "FAILING", false},
                                         {"garbled", 0x12, 0x34, nullptr, true}}) {
    atatest::FakeAta ata;
    ata.Identify = atatest::SectorBuilder().Word(82, 0x0001).Word(85, c.SmartWasOff ? 0 : 1).Bytes();
    ata.Sector = atatest::LoadSector("qemu-pata-master-smart-data.bin");
    ata.Result.CylinderLow = c.Mid;
    ata.Result.CylinderHigh = c.High;
    TDeviceTable drive;
    drive.DevicePath = "/dev/sda";
    drive.IdentifyData.BusType = kBusAta;
    AtaDriveState state;
    const Json doc = CollectAtaSmartJson(drive, &ata, state);
    std::vector<std::uint8_t> sequence;
    for (const atatest::AtaCall& call : ata.Calls) {
      sequence.push_back(call.Registers.Command == 0xEC ? 0xEC : call.Registers.Features);
    }
    // IDENTIFY, ENABLE, READ DATA, READ THRESHOLDS, RETURN STATUS, and DISABLE only where it was off.
    std::vector<std::uint8_t> expected = {0xEC, 0xD8, 0xD0, 0xD1, 0xDA};
    if (c.SmartWasOff) {
      expected.push_back(0xD9);
    }
    EXPECT_EQ(sequence, expected) << c.Name;
    EXPECT_EQ(doc["available"], true) << c.Name;
    if (c.Verdict == nullptr) {
      EXPECT_TRUE(doc["health"].is_null()) << c.Name;
    } else {
      EXPECT_EQ(doc["health"]["verdict"], c.Verdict) << c.Name;
    }
  }
}

}  // namespace
}  // namespace vellumar

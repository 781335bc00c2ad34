#include "devices/reports/report_json.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ata_test_support.h"
#include "devices/reports/list_json.h"
#include "platform/linux/sysfs/drive_list_facts.h"
#include "sysfs_fake_tree.h"

namespace vellumar {
namespace {

using Type = Json::value_t;

// Each key must be there with this type (null allowed where the field may be unknown).
struct Field {
  const char* Pointer;
  Type Kind;
  bool MayBeNull = false;
};

void ExpectFields(const Json& doc, const std::vector<Field>& fields, const std::string& what) {
  // Through text and back: what a script would read.
  const Json parsed = Json::parse(JsonText(doc));
  for (const Field& field : fields) {
    const Json::json_pointer pointer(field.Pointer);
    ASSERT_TRUE(parsed.contains(pointer)) << what << " " << field.Pointer;
    const Json& value = parsed.at(pointer);
    const bool sameKind =
        value.type() == field.Kind || (field.Kind == Type::number_integer && value.type() == Type::number_unsigned);
    EXPECT_TRUE(sameKind || (field.MayBeNull && value.is_null())) << what << " " << field.Pointer << " is " << value;
  }
}

const Type kInt = Type::number_integer;
const Type kText = Type::string;
const Type kBool = Type::boolean;

TEST(ReportJson, DocumentsCarryTheirFieldsWithTheirTypes) {
  TDeviceTable drive;
  drive.DevicePath = "/dev/nvme0n1";
  drive.IdentifyData.BusType = kBusNvme;
  const Json source = DriveSourceJson(drive);
  const std::vector<Field> head = {{"/report", kText},
                                   {"/available", kBool},
                                   {"/source/node", kText},
                                   {"/source/drive_number", kInt},
                                   {"/source/bus_code", kInt}};

  const auto identify = atatest::LoadSector("qemu-ahci-sata-identify.bin");
  std::vector<Field> ata = head;
  ata.insert(ata.end(), {{"/model", kText},
                         {"/serial", kText},
                         {"/firmware", kText},
                         {"/capacity_bytes", kInt},
                         {"/sector_count", kInt},
                         {"/security/locked", kBool},
                         {"/features/smart", kBool}});
  ExpectFields(AtaDetailsJson(source, DecodeIdePassport(identify)), ata, "ata details");

  AtaSmartFacts facts;
  facts.Available = true;
  facts.Attributes = DecodeSmartAttributes(atatest::LoadSector("qemu-ahci-sata-smart-data.bin"));
  facts.Thresholds = DecodeSmartThresholds(atatest::LoadSector("qemu-ahci-sata-smart-thresholds.bin"));
  std::vector<Field> smart = head;
  smart.insert(smart.end(), {{"/health", Type::object, true},
                             {"/attributes/0/id", kInt},
                             {"/attributes/0/raw", kInt},
                             {"/attributes/0/threshold", kInt, true},
                             {"/power_on_hours", kInt, true},
                             {"/temperature_celsius", kInt, true}});
  ExpectFields(AtaSmartJson(source, facts), smart, "ata smart");

  NvmeHealth health;
  health.TemperatureKelvin = 300;
  health.PowerOnHours = {1234, 0};
  std::vector<Field> nvmeSmart = head;
  nvmeSmart.insert(nvmeSmart.end(), {{"/health/passed", kBool},
                                     {"/health/warnings", Type::array},
                                     {"/temperature_celsius", kInt},
                                     {"/percentage_used", kInt},
                                     {"/power_on_hours", kInt},
                                     {"/data_read_bytes", kInt}});
  const Json nvme = NvmeSmartJson(source, health);
  ExpectFields(nvme, nvmeSmart, "nvme smart");
  EXPECT_EQ(nvme["temperature_celsius"], 27);
  EXPECT_EQ(nvme["power_on_hours"], 1234);

  NvmeNamespace ns;
  ns.SizeBlocks = 10;
  ns.Formats = {{0, 4096, 8}};
  std::vector<Field> nvmeDetails = head;
  nvmeDetails.insert(nvmeDetails.end(), {{"/transport", kText},
                                         {"/capacity_bytes", kInt},
                                         {"/namespace/lba_formats/0/data_bytes", kInt},
                                         {"/features/volatile_write_cache_enabled", kBool, true},
                                         {"/warning_temperature_threshold_celsius", kInt, true}});
  ExpectFields(NvmeDetailsJson(source, NvmeController{}, 1, ns, std::nullopt), nvmeDetails, "nvme details");

  ExpectFields(UnavailableJson("smart", source, "why"), {{"/available", kBool}, {"/reason", kText}}, "unavailable");
}

TEST(ReportJson, HostileTextStillMakesADocument) {
  T_IDE_PASSPORT passport;
  passport.name = std::string("\xff\xfe\"}\\\x01", 6);
  const Json parsed = Json::parse(JsonText(AtaDetailsJson(FileSourceJson("x"), passport)), nullptr, false);
  ASSERT_FALSE(parsed.is_discarded());
  EXPECT_EQ(parsed["model"], "\xEF\xBF\xBD\xEF\xBF\xBD\"}\\\x01");
}

TEST(ListJson, DriveFactsFromSysfsProcAndDev) {
  testing::FakeSysfsTree tree;
  const std::string disk = tree.AddDisk("sdb", "pci0/host1", "8:16");
  tree.AddPartition(disk, "sdb1", "8:17", 1);
  tree.AddPartition(disk, "sdb2", "8:18", 2);
  tree.AddPartition(disk, "sdb3", "8:19", 3);
  testing::FakeSysfsTree::Write(disk + "/queue/logical_block_size", "512\n");
  testing::FakeSysfsTree::Write(disk + "/queue/physical_block_size", "4096\n");
  testing::FakeSysfsTree::Write(disk + "/queue/rotational", "1\n");
  testing::FakeSysfsTree::Write(disk + "/removable", "0\n");
  testing::FakeSysfsTree::Write(tree.Proc() + "/self/mountinfo",
                                "36 1 8:17 / /mnt/a\\040b rw - ext4 /dev/sdb1 rw\n"
                                "37 1 8:17 / /srv rw - ext4 /dev/sdb1 rw\n");
  testing::FakeSysfsTree::Write(tree.Proc() + "/swaps",
                                "Filename Type Size Used Priority\n/dev/sdb3 partition 1 0 -2\n");
  const std::string dev = tree.Sys() + "/../dev";
  std::filesystem::create_directories(dev + "/disk/by-id");
  for (const char* name : {"wwn-0x5000", "ata-LONG_MODEL_NAME_SERIAL", "ata-MODEL_SERIAL", "ata-MODEL_SERIAL-part1"}) {
    const std::string target = std::string(name).find("part") != std::string::npos ? "../../sdb1" : "../../sdb";
    std::filesystem::create_symlink(target, dev + "/disk/by-id/" + name);
  }

  const DriveListFacts facts = platform::ReadDriveListFacts("/dev/sdb", tree.Sys(), tree.Proc(), dev);
  EXPECT_EQ(facts.ById, "/dev/disk/by-id/ata-MODEL_SERIAL");
  EXPECT_EQ(facts.PhysicalSectorSize, 4096);
  EXPECT_EQ(facts.Rotational, true);
  ASSERT_EQ(facts.Volumes.size(), 3U);
  EXPECT_EQ(facts.Volumes[0].MountPoints, (std::vector<std::string>{"/mnt/a b", "/srv"}));
  EXPECT_TRUE(facts.Volumes[1].MountPoints.empty());
  EXPECT_EQ(facts.Volumes[2].MountPoints, (std::vector<std::string>{"[SWAP]"}));

  TDeviceTable drive;
  drive.DevicePath = "/dev/sdb";
  drive.IdentifyData = {" Model", "FW", "SN", 1000, 512, kBusSata, 0, false, 0};
  drive.SystemVolume = "/ on /dev/sdb1";
  const Json entry = Json::parse(JsonText(DriveListJson(1, drive, facts)));
  ExpectFields(entry,
               {{"/node", kText},
                {"/by_id", kText},
                {"/bus_code", kInt},
                {"/bus_name", kText},
                {"/capacity_bytes", kInt},
                {"/sector_count", kInt},
                {"/logical_sector_size", kInt},
                {"/physical_sector_size", kInt},
                {"/rotational", kBool},
                {"/removable", kBool},
                {"/volumes/0/mount_points/0", kText},
                {"/running_system", kBool},
                {"/system_volume", kText}},
               "list");
  EXPECT_EQ(entry["model"], "Model");
  EXPECT_EQ(entry["capacity_bytes"], 512000);
  EXPECT_EQ(entry["running_system"], true);
}

}  // namespace
}  // namespace vellumar

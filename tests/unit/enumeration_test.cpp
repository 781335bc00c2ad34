#include "devices/catalogue/enumeration.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "fake_storage_facts.h"
#include "support/fake_clock.h"
#include "support/log_capture.h"

namespace vellumar {
namespace {

class FakeProber final : public DriveProber {
 public:
  std::set<std::uint32_t> Present;
  std::set<std::uint32_t> Failing;
  std::vector<std::uint32_t> Opened;

  std::string DrivePath(std::uint32_t number) override { return "/dev/disk" + std::to_string(number); }
  std::unique_ptr<StorageFacts> OpenDrive(std::uint32_t number) override {
    Opened.push_back(number);
    if (Present.count(number) == 0) {
      return nullptr;
    }
    auto drive = std::make_unique<testing::FakeFacts>();
    drive->Strings = {"", "MODEL" + std::to_string(number), "FW", "SN" + std::to_string(number), false, kBusSata};
    if (Failing.count(number) != 0) {
      drive->GeometryStatus = RequestStatus{false, 5, "Input/output error"};
    }
    return drive;
  }
};

class FakeVolumes final : public VolumeSystem {
 public:
  std::vector<std::string> GetLogicalDrivesList() override { return {"/dev/disk1p1", "/dev/disk1p2", "/dev/disk5p1"}; }
  TVolumeDeviceNumber GetVolumeDeviceNumber(const std::string& name) override {
    const std::uint32_t drive = name.find("disk1") != std::string::npos ? 1 : 5;
    return TVolumeDeviceNumber{true, kFileDeviceDisk, drive, 1};
  }
  std::unique_ptr<VolumeHandle> OpenVolume(const std::string& /*name*/) override { return nullptr; }
};

class FakePlatform final : public PlatformInfo {
 public:
  bool Reachable = true;
  std::string ProgramPath() override { return "/opt/vellumar/"; }
  std::string PlatformDescription() override { return "6.1.0   Debian GNU/Linux 12 (bookworm)  (64 bit)"; }
  bool DeviceInformationReachable() override { return Reachable; }
};

class EnumerationTest : public ::testing::Test {
 protected:
  EnumerationTest() : logs_(clock_, LocaleSettings{}), format_(logs_.BenchMark), debug_(logs_.Debug) {}

  EnumerationResult Enumerate(const std::vector<std::string>& parameters = {}) {
    EnumerationServices services{logs_, prober_, volumes_, platform_, [this] { ++shown_; }};
    return EnumerateDevices(parameters, catalogue_, services);
  }

  std::vector<std::string> DebugTexts() const { return debug_.Texts(); }

  testing::FakeClock clock_;
  LogSinks logs_;
  testing::LogCapture format_;
  testing::LogCapture debug_;
  FakeProber prober_;
  FakeVolumes volumes_;
  FakePlatform platform_;
  DeviceCatalogue catalogue_;
  int shown_ = 0;
};

TEST_F(EnumerationTest, DebugSwitchIsOnlyTheFirstParameterInAnyCase) {
  EXPECT_TRUE(IsDebugSwitch({"--DEBUG"}));
  EXPECT_TRUE(IsDebugSwitch({"--Debug", "x"}));
  EXPECT_FALSE(IsDebugSwitch({"x", "--debug"}));
  EXPECT_FALSE(IsDebugSwitch({}));

  Enumerate({"--DeBuG"});
  EXPECT_TRUE(logs_.DebugMode.load());
  EXPECT_EQ(shown_, 1);
  const std::vector<std::string> texts = DebugTexts();
  ASSERT_GE(texts.size(), 5U);
  EXPECT_EQ(std::vector<std::string>(texts.begin(), texts.begin() + 5),
            (std::vector<std::string>{"Debug mode activated", "Program Path: /opt/vellumar/",
                                      "Platform: 6.1.0   Debian GNU/Linux 12 (bookworm)  (64 bit)",
                                      "Program Version: Vellumar 4.50", "Iterating through devices..."}));
}

TEST_F(EnumerationTest, CataloguesDrivesInProbeOrderWithTheirVolumes) {
  prober_.Present = {0, 1, 5};
  const EnumerationResult result = Enumerate();
  ASSERT_TRUE(result.Ok);
  EXPECT_EQ(result.StatusText, "Disks found: 3");
  std::vector<std::string> rows;
  for (std::int64_t slot = 1; slot <= catalogue_.DeviceCount; ++slot) {
    const TDeviceTable& d = catalogue_.DeviceTable(slot);
    rows.push_back(std::to_string(d.DeviceNumber) + " " + d.DevicePath + d.IdentifyData.Model + "/" +
                   d.IdentifyData.SN + " (" + d.AssociatedPartitions + ")" + (d.IsFile ? " file" : ""));
  }
  EXPECT_EQ(rows, (std::vector<std::string>{"0 /dev/disk0 MODEL0/SN0 ()",
                                            "1 /dev/disk1 MODEL1/SN1 (/dev/disk1p1 /dev/disk1p2)",
                                            "5 /dev/disk5 MODEL5/SN5 (/dev/disk5p1)"}));
  EXPECT_EQ(prober_.Opened.size(), 256U) << "every number from 0 to 255 is tried";
}

TEST_F(EnumerationTest, StopsRightAfterTheFifteenthCataloguedDrive) {
  for (std::uint32_t n = 0; n < 20; ++n) {
    prober_.Present.insert(n);
  }
  prober_.Failing = {3};
  Enumerate();
  EXPECT_EQ(catalogue_.DeviceCount, 15);
  EXPECT_EQ(prober_.Opened.back(), 15U);
  EXPECT_EQ(catalogue_.DeviceTable(15).DeviceNumber, 15U);
  EXPECT_EQ(catalogue_.DeviceTable(16).DevicePath, "");
}

TEST_F(EnumerationTest, DriveThatFailsIdentificationStillGetsItsPartitionLines) {
  logs_.DebugMode = true;
  prober_.Present = {0, 1};
  prober_.Failing = {1};
  Enumerate();
  EXPECT_EQ(catalogue_.DeviceCount, 1);
  const std::vector<std::string> texts = DebugTexts();
  const auto trying = std::find(texts.begin(), texts.end(), "Trying device /dev/disk1");
  ASSERT_NE(trying, texts.end());
  // The status line still shows the working record of the drive before.
  EXPECT_EQ(
      std::vector<std::string>(trying, trying + 7),
      (std::vector<std::string>{"Trying device /dev/disk1", "Identifying the device...", "Getting geometry...",
                                "Done. Status = 0;  MODEL0  SN0", "Getting partition info...",
                                "Found partition /dev/disk1p1      DeviceType: 7   DeviceNumber: 1   Partition: 1",
                                "Found partition /dev/disk1p2      DeviceType: 7   DeviceNumber: 1   Partition: 1"}));
  EXPECT_EQ(*(trying + 8), "Partitions: /dev/disk1p1 /dev/disk1p2");
  EXPECT_EQ(*(trying + 9), "Trying device /dev/disk2");
  EXPECT_EQ(*(trying + 10), "Invalid handle, skipping");
}

TEST_F(EnumerationTest, FirstDriveFailingLeavesTheStatusLineEmpty) {
  logs_.DebugMode = true;
  prober_.Present = {0};
  prober_.Failing = {0};
  Enumerate();
  const std::vector<std::string> texts = DebugTexts();
  EXPECT_NE(std::find(texts.begin(), texts.end(), "Done. Status = 0;   "), texts.end());
}

TEST_F(EnumerationTest, WarningLinesReachTheFormatLogWithoutDebugMode) {
  const EnumerationResult result = Enumerate();
  EXPECT_EQ(result.StatusText, "Disks found: 0");
  EXPECT_EQ(format_.Texts(),
            (std::vector<std::string>{" * * * * *  WARNING!!! * * * * * ", "DURING THE LOW LEVEL FORMAT PROCESS ",
                                      "ALL DATA WILL BE FULLY and IRREVERSIBLY ERASED! "}));
  EXPECT_TRUE(debug_.Entries().empty());
  EXPECT_EQ(shown_, 0);
}

TEST_F(EnumerationTest, UnreachableDeviceInformationEndsStartUp) {
  platform_.Reachable = false;
  prober_.Present = {0};
  const EnumerationResult result = Enumerate();
  EXPECT_FALSE(result.Ok);
  EXPECT_EQ(result.FatalMessage, "Error #01704");
  EXPECT_TRUE(prober_.Opened.empty());
  EXPECT_TRUE(format_.Entries().empty());
}

}  // namespace
}  // namespace vellumar

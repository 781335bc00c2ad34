#include "devices/erase/volume_locking.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "support/fake_clock.h"
#include "support/log_capture.h"

namespace vellumar {
namespace {

struct FakeVolume {
  TVolumeDeviceNumber Number;
  bool Opens = true;
  bool Locks = true;
  bool Dismounts = true;
};

// A volume system whose volumes record what happened to them.
class FakeVolumeSystem final : public VolumeSystem {
 public:
  std::vector<std::string> Names;
  std::map<std::string, FakeVolume> Volumes;
  std::vector<std::string> Events;
  DriveCensus Census;

  std::vector<std::string> GetLogicalDrivesList() override { return Names; }
  DriveCensus TakeCensus(std::int64_t /*deviceNumber*/) override { return Census; }
  TVolumeDeviceNumber GetVolumeDeviceNumber(const std::string& name) override { return Volumes[name].Number; }
  std::unique_ptr<VolumeHandle> OpenVolume(const std::string& name) override {
    if (!Volumes[name].Opens) {
      return nullptr;
    }
    Events.push_back("open " + name);
    return std::make_unique<Handle>(*this, name);
  }

  void Add(const std::string& name, std::uint32_t type, std::uint32_t drive, std::uint32_t partition) {
    Names.push_back(name);
    Volumes[name].Number = TVolumeDeviceNumber{true, type, drive, partition};
  }

 private:
  class Handle final : public VolumeHandle {
   public:
    Handle(FakeVolumeSystem& system, std::string name) : system_(system), name_(std::move(name)) {}
    ~Handle() override { system_.Events.push_back("release " + name_); }
    bool Lock() override {
      system_.Events.push_back("lock " + name_);
      return system_.Volumes[name_].Locks;
    }
    bool Dismount() override {
      system_.Events.push_back("dismount " + name_);
      return system_.Volumes[name_].Dismounts;
    }
    std::vector<std::string> Restore() override {
      system_.Events.push_back("restore " + name_);
      return {"restored " + name_};
    }

   private:
    FakeVolumeSystem& system_;
    std::string name_;
  };
};

class VolumeLockingTest : public ::testing::Test {
 protected:
  VolumeLockingTest() : logs_(clock_, LocaleSettings{}), format_(logs_.BenchMark), debug_(logs_.Debug) {
    volumes_.Add("/dev/sda1", kFileDeviceDisk, 0, 1);
    volumes_.Add("/dev/sdb1", kFileDeviceDisk, 1, 1);
    volumes_.Add("/dev/sr0", 2, 1, 0);
    volumes_.Add("/dev/sdb2", kFileDeviceDisk, 1, 2);
  }

  testing::FakeClock clock_;
  LogSinks logs_;
  testing::LogCapture format_;
  testing::LogCapture debug_;
  FakeVolumeSystem volumes_;
};

TEST_F(VolumeLockingTest, PartitionTextNamesTheDiskVolumesAndLogsInDebugModeOnly) {
  EXPECT_EQ(GetAssociatedPartitions(volumes_, logs_, 1), "/dev/sdb1 /dev/sdb2");
  EXPECT_EQ(GetAssociatedPartitions(volumes_, logs_, 0), "/dev/sda1");
  EXPECT_EQ(GetAssociatedPartitions(volumes_, logs_, 7), "");
  EXPECT_TRUE(format_.Entries().empty());
  EXPECT_TRUE(debug_.Entries().empty());

  logs_.DebugMode = true;
  volumes_.Names = {"/dev/sdb1", "/dev/gone"};
  GetAssociatedPartitions(volumes_, logs_, 1);
  EXPECT_EQ(format_.Texts(), (std::vector<std::string>{"Looking for partitions...", "Done.", "Getting device data...",
                                                       "Done.", "Getting device data...", "Done."}));
  EXPECT_EQ(debug_.Texts(),
            std::vector<std::string>{"Found partition /dev/sdb1      DeviceType: 7   DeviceNumber: 1   Partition: 1"});
}

TEST_F(VolumeLockingTest, ChecksEveryVolumeFirstThenLocksThemAndReleasesThemInOrder) {
  VolumeLocking locking(volumes_, logs_);
  EXPECT_TRUE(locking.LockDeviceVolumes(1));
  EXPECT_EQ(locking.LockedCount(), 2U);
  locking.UnlockDeviceVolumes();
  EXPECT_EQ(locking.LockedCount(), 0U);
  EXPECT_EQ(volumes_.Events, (std::vector<std::string>{"open /dev/sdb1", "open /dev/sdb2", "lock /dev/sdb1",
                                                       "dismount /dev/sdb1", "lock /dev/sdb2", "dismount /dev/sdb2",
                                                       "release /dev/sdb1", "release /dev/sdb2"}));
  EXPECT_TRUE(format_.Entries().empty()) << "a successful lock writes nothing outside debug mode";

  volumes_.Events.clear();  // a drive without volumes locks at once
  EXPECT_TRUE(locking.LockDeviceVolumes(4));
  EXPECT_EQ(locking.LockedCount(), 0U);
  EXPECT_TRUE(volumes_.Events.empty());
}

TEST_F(VolumeLockingTest, AnyUserRefusesWithNothingTakenAndLateFailureGivesBackWhatWasTaken) {
  volumes_.Census.Users = {{"/dev/loop3 uses /dev/sdb2", false}, {"process 7 (cat) has /dev/sdb1 open", true}};
  volumes_.Census.Takes = {{"/dev/sdb1", "/mnt/data"}, {"/dev/sdb3", ""}};
  VolumeLocking locking(volumes_, logs_);
  EXPECT_EQ(locking.PlannedTakes(1),
            (std::vector<std::string>{"unmount /mnt/data (/dev/sdb1)", "switch off swap /dev/sdb3"}));
  EXPECT_FALSE(locking.LockDeviceVolumes(1));
  EXPECT_EQ(locking.LockedCount(), 0U);
  EXPECT_TRUE(volumes_.Events.empty()) << "nothing is even opened";
  EXPECT_EQ(format_.Texts(), (std::vector<std::string>{"In use: /dev/loop3 uses /dev/sdb2",
                                                       "In use: process 7 (cat) has /dev/sdb1 open"}));
  format_.Clear();

  // The system changed between the census and the unmount of the second volume.
  volumes_.Census.Users.clear();
  volumes_.Volumes["/dev/sdb2"].Dismounts = false;
  volumes_.Events.clear();
  EXPECT_FALSE(locking.LockDeviceVolumes(1));
  EXPECT_EQ(locking.LockedCount(), 0U);
  EXPECT_EQ(volumes_.Events,
            (std::vector<std::string>{"open /dev/sdb1", "open /dev/sdb2", "lock /dev/sdb1", "dismount /dev/sdb1",
                                      "lock /dev/sdb2", "dismount /dev/sdb2", "restore /dev/sdb2", "restore /dev/sdb1",
                                      "release /dev/sdb1", "release /dev/sdb2"}));
  EXPECT_EQ(format_.Texts(), (std::vector<std::string>{"restored /dev/sdb2", "restored /dev/sdb1"}));
}

TEST_F(VolumeLockingTest, VolumeThatDoesNotOpenWritesThePlainInvalidHandleLine) {
  volumes_.Volumes["/dev/sdb1"].Opens = false;
  VolumeLocking locking(volumes_, logs_);
  EXPECT_FALSE(locking.LockDeviceVolumes(1));
  EXPECT_EQ(format_.Entries(), std::vector<std::string>{"Invalid handle"});
}

TEST_F(VolumeLockingTest, DebugModeTraceOfALock) {
  logs_.DebugMode = true;
  volumes_.Names = {"/dev/sdb1"};
  VolumeLocking locking(volumes_, logs_);
  EXPECT_TRUE(locking.LockDeviceVolumes(1));
  EXPECT_EQ(format_.Texts(),
            (std::vector<std::string>{"Looking for partitions...", "Done.", "Getting device data...", "Done.",
                                      "Found partition /dev/sdb1      DeviceType: 7   DeviceNumber: 1   Partition: 1",
                                      "Locking /dev/sdb1", "Got handle!", "Locking volume...", "Done.",
                                      "Dismounting volume...", "Done.", "Extending I/O...", "Done."}));
}

}  // namespace
}  // namespace vellumar

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/linux/volumes/linux_volume_system.h"
#include "sysfs_fake_tree.h"

namespace vellumar::platform {
namespace {

using vellumar::testing::FakeSysfsTree;

// sda (drive 0) with two partitions, sdb (drive 1) with a partition under two device-mapper
// layers and a swap partition, and a zram disk that is no candidate.
class LinuxVolumeSystemTest : public ::testing::Test {
 protected:
  LinuxVolumeSystemTest() : volumes_(tree_.Sys(), tree_.Proc()) {
    const std::string sda = tree_.AddDisk("sda", "pci0000:00/host0/target0:0:0/0:0:0:0", "8:0");
    tree_.AddPartition(sda, "sda1", "8:1", 1);
    tree_.AddPartition(sda, "sda2", "8:2", 2);
    const std::string sdb = tree_.AddDisk("sdb", "pci0000:00/host1/target1:0:0/1:0:0:0", "8:16");
    tree_.AddPartition(sdb, "sdb1", "8:17", 1);
    tree_.AddPartition(sdb, "sdb2", "8:18", 2);
    tree_.AddStacked("dm-0", "254:0", {"sdb1"});
    tree_.AddStacked("dm-1", "254:1", {"dm-0"});
    tree_.AddDisk("zram0", "virtual", "253:0");
    FakeSysfsTree::Write(tree_.Proc() + "/self/mountinfo",
                         "22 1 253:0 / / rw - ext4 /dev/zram0 rw\n"
                         "30 22 8:1 / /mnt/my\\040disk rw shared:3 - ext4 /dev/sda1 rw\n"
                         "31 22 8:1 /home /srv/home rw - ext4 /dev/sda1 rw\n"
                         "32 22 0:45 / /data rw - btrfs /dev/sda2 rw\n"
                         "33 22 254:1 / /crypt rw - xfs /dev/mapper/vault rw\n"
                         "34 22 0:23 / /run rw - tmpfs tmpfs rw\n");
    FakeSysfsTree::Write(tree_.Proc() + "/swaps",
                         "Filename Type Size Used Priority\n"
                         "/dev/sdb2 partition 1048572 0 -2\n"
                         "/data/swapfile file 1048572 0 -3\n");
  }

  FakeSysfsTree tree_;
  LinuxVolumeSystem volumes_;
};

TEST_F(LinuxVolumeSystemTest, ListsEveryVolumeInUseOnceAndInOrder) {
  EXPECT_EQ(volumes_.GetLogicalDrivesList(),
            (std::vector<std::string>{"/dev/dm-1", "/dev/sda1", "/dev/sda2", "/dev/sdb2", "/dev/zram0"}));
}

TEST_F(LinuxVolumeSystemTest, MapsVolumesToTheirDisk) {
  // "type drive partition", or "-" when the volume is not on a listed disk.
  const auto number = [this](const std::string& name) {
    const vellumar::TVolumeDeviceNumber n = volumes_.GetVolumeDeviceNumber(name);
    return n.Found ? std::to_string(n.DeviceType) + " " + std::to_string(n.DeviceNumber) + " " +
                         std::to_string(n.PartitionNumber)
                   : std::string("-");
  };
  const std::string disk = std::to_string(vellumar::kFileDeviceDisk);
  EXPECT_EQ(number("/dev/sda2"), disk + " 0 2");
  EXPECT_EQ(number("/dev/dm-1"), disk + " 1 0");  // through both device-mapper layers
  EXPECT_EQ(number("/dev/sdb"), disk + " 1 0");
  EXPECT_EQ(number("/dev/zram0"), "-");
  EXPECT_EQ(number("/dev/sdq1"), "-");
}

TEST_F(LinuxVolumeSystemTest, DriveNumbersStayThoseOfTheListing) {
  // A disk that appeared after the listing (sdb here) must not shift the numbers.
  volumes_.SetDiskOrder({"sda"});
  EXPECT_EQ(volumes_.GetVolumeDeviceNumber("/dev/sda1").DeviceNumber, 0U);
  EXPECT_FALSE(volumes_.GetVolumeDeviceNumber("/dev/sdb2").Found);
  volumes_.SetDiskOrder({"nvme0n1", "sda", "sdb"});
  EXPECT_EQ(volumes_.GetVolumeDeviceNumber("/dev/sdb2").DeviceNumber, 2U);
}

TEST_F(LinuxVolumeSystemTest, FindsEveryMountPointAndSwapOfAVolume) {
  const VolumeUses sda1 = FindVolumeUses(tree_.Sys(), tree_.Proc(), 8, 1);
  EXPECT_EQ(sda1.MountPoints, (std::vector<std::string>{"/mnt/my disk", "/srv/home"}));
  EXPECT_TRUE(sda1.SwapPaths.empty());
  EXPECT_EQ(FindVolumeUses(tree_.Sys(), tree_.Proc(), 8, 2).MountPoints, std::vector<std::string>{"/data"});
  EXPECT_EQ(FindVolumeUses(tree_.Sys(), tree_.Proc(), 8, 18).SwapPaths, std::vector<std::string>{"/dev/sdb2"});
  EXPECT_TRUE(FindVolumeUses(tree_.Sys(), tree_.Proc(), 8, 17).MountPoints.empty());
}

}  // namespace
}  // namespace vellumar::platform

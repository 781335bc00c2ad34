#include "platform/linux/volumes/running_system.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/linux/volumes/removable_media.h"
#include "sysfs_fake_tree.h"

namespace vellumar::platform {
namespace running_system_test {

using vellumar::testing::FakeSysfsTree;

// A live system as live-boot lays it out: the USB stick sdb (its partition sdb1 is the hybrid
// image) mounted at /run/live/medium, the squashfs on loop0 backed by a file on it, and `/` an
// overlay whose lower layer is that squashfs. sda is the machine's own disk, sdc another stick
// with an image of its own mounted by the user through loop1.
class LiveSystemTest : public ::testing::Test {
 protected:
  LiveSystemTest() {
    tree_.AddDisk("sda", "pci0000:00/ata1/host0/target0:0:0/0:0:0:0", "8:0");
    const std::string sdb = tree_.AddDisk("sdb", "pci0000:00/usb1/1-1/host2/target2:0:0/2:0:0:0", "8:16");
    tree_.AddPartition(sdb, "sdb1", "8:17", 1);
    const std::string sdc = tree_.AddDisk("sdc", "pci0000:00/usb1/1-2/host3/target3:0:0/3:0:0:0", "8:32");
    tree_.AddPartition(sdc, "sdc1", "8:33", 1);
    loop0_ = tree_.AddDisk("loop0", "virtual", "7:0");
    FakeSysfsTree::Write(tree_.AddDisk("loop1", "virtual", "7:1") + "/loop/backing_file", "/mnt/stick/other.img\n");
  }

  void Mounts(const std::string& mediumPoint) {
    FakeSysfsTree::Write(loop0_ + "/loop/backing_file", mediumPoint + "/live/filesystem.squashfs\n");
    const std::string mounts =
        "20 1 0:31 / / rw - overlay overlay rw,lowerdir=/run/live/rootfs/filesystem.squashfs/,"
        "upperdir=/run/live/overlay/rw,workdir=/run/live/overlay/work\n"
        "21 20 0:24 / /run rw - tmpfs tmpfs rw\n"
        "22 21 8:17 / " +
        mediumPoint +
        " ro - iso9660 /dev/sdb1 ro\n"
        "23 21 0:25 / /run/live/overlay rw - tmpfs tmpfs rw\n"
        "24 21 7:0 / /run/live/rootfs/filesystem.squashfs ro - squashfs /dev/loop0 ro\n"
        "25 20 8:33 / /mnt/stick rw - vfat /dev/sdc1 rw\n"
        "26 20 7:1 / /mnt/image ro - ext4 /dev/loop1 ro\n";
    FakeSysfsTree::Write(tree_.Proc() + "/1/mountinfo", mounts);
    FakeSysfsTree::Write(tree_.Proc() + "/self/mountinfo", mounts);
  }

  FakeSysfsTree tree_;
  std::string loop0_;
};

TEST_F(LiveSystemTest, TheMediumAtRunLiveIsTheSystemAndNothingElseIs) {
  Mounts("/run/live/medium");
  EXPECT_EQ(RunningSystemVolume(tree_.Sys(), tree_.Proc(), "sdb"), "/run/live/medium on /dev/sdb1");
  EXPECT_EQ(RunningSystemVolume(tree_.Sys(), tree_.Proc(), "sda"), "");
  // A stick that only holds a mounted image is in use, but the system does not run from it.
  EXPECT_EQ(RunningSystemVolume(tree_.Sys(), tree_.Proc(), "sdc"), "");
  // The save dialog offers the other stick, never the medium, nor the image on the stick.
  EXPECT_EQ(RemovableMediaFolders(tree_.Sys(), tree_.Proc()), (std::vector<std::string>{"/mnt/stick"}));
  EXPECT_TRUE(IsMountedFolder(tree_.Proc(), "/mnt/stick"));
  EXPECT_FALSE(IsMountedFolder(tree_.Proc(), "/mnt"));
}

TEST_F(LiveSystemTest, TheMediumIsFoundUnderTheOverlayWhereverItIsMounted) {
  // Older live systems mount the medium elsewhere: the overlay's squashfs still leads to it.
  Mounts("/lib/live/mount/medium");
  EXPECT_EQ(RunningSystemVolume(tree_.Sys(), tree_.Proc(), "sdb"), "/ on overlay");
  EXPECT_EQ(RunningSystemVolume(tree_.Sys(), tree_.Proc(), "sda"), "");
  EXPECT_EQ(RunningSystemVolume(tree_.Sys(), tree_.Proc(), "sdc"), "");
}

TEST_F(LiveSystemTest, AnOverlayThatLeadsBackToItselfEnds) {
  FakeSysfsTree::Write(tree_.Proc() + "/1/mountinfo",
                       "20 1 0:31 / / rw - overlay overlay rw,lowerdir=/a:/b,upperdir=/\n"
                       "21 20 0:32 / /a rw - overlay overlay rw,lowerdir=/b\n"
                       "22 20 0:33 / /b rw - overlay overlay rw,lowerdir=/a\n");
  EXPECT_EQ(RunningSystemVolume(tree_.Sys(), tree_.Proc(), "sdb"), "");
}

}  // namespace running_system_test
}  // namespace vellumar::platform

#include "platform/linux/mountinfo.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace vellumar::platform {
namespace {

TEST(MountInfo, ParsesFieldsAroundTheOptionalOnes) {
  const std::string text =
      "22 1 254:0 / / rw,relatime shared:1 - ext4 /dev/vda rw\n"
      "35 22 8:17 / /mnt/my\\040disk rw,nosuid shared:7 master:2 - ext4 /dev/sdb1 rw,errors=remount-ro\n"
      "36 22 8:17 /sub/dir /srv/bind rw - ext4 /dev/sdb1 rw\n"
      "40 22 0:45 / /data rw - btrfs /dev/sdc rw,space_cache\n"
      "garbage line\n"
      "41 22 0:23 / /run\\011tab\\134x rw - tmpfs tmpfs rw\n";
  const std::vector<MountEntry> entries = ParseMountInfo(text);
  ASSERT_EQ(entries.size(), 5U);
  EXPECT_EQ(entries[1].Major, 8U);
  EXPECT_EQ(entries[1].Minor, 17U);
  EXPECT_EQ(entries[1].MountPoint, "/mnt/my disk");
  EXPECT_EQ(entries[1].FsType, "ext4");
  EXPECT_EQ(entries[1].Source, "/dev/sdb1");
  EXPECT_EQ(entries[2].Root, "/sub/dir");
  EXPECT_EQ(entries[2].MountPoint, "/srv/bind");
  EXPECT_EQ(entries[3].Major, 0U);
  EXPECT_EQ(entries[3].Source, "/dev/sdc");
  EXPECT_EQ(entries[4].MountPoint, "/run\ttab\\x");
}

TEST(MountInfo, UnescapesOnlyCompleteOctalTriples) {
  EXPECT_EQ(UnescapeMountField("a\\040b"), "a b");
  EXPECT_EQ(UnescapeMountField("a\\012"), "a\n");
  EXPECT_EQ(UnescapeMountField("a\\04"), "a\\04");
  EXPECT_EQ(UnescapeMountField("a\\089"), "a\\089");
}

TEST(MountInfo, ParsesSwaps) {
  const std::string text =
      "Filename\t\t\t\tType\t\tSize\t\tUsed\t\tPriority\n"
      "/dev/sdb2                               partition\t1048572\t\t0\t\t-2\n"
      "/swap\\040file                          file\t\t524284\t\t0\t\t-3\n";
  const std::vector<SwapEntry> entries = ParseSwaps(text);
  ASSERT_EQ(entries.size(), 2U);
  EXPECT_EQ(entries[0].Path, "/dev/sdb2");
  EXPECT_EQ(entries[0].Type, "partition");
  EXPECT_EQ(entries[1].Path, "/swap file");
  EXPECT_EQ(entries[1].Type, "file");
  EXPECT_TRUE(ParseSwaps("Filename Type Size Used Priority\n").empty());
}

}  // namespace
}  // namespace vellumar::platform

#include "platform/linux/volumes/mountinfo.h"

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
  std::vector<std::string> parsed;
  for (const MountEntry& e : ParseMountInfo(text)) {
    parsed.push_back(std::to_string(e.Major) + ":" + std::to_string(e.Minor) + " " + e.Root + " " + e.MountPoint + " " +
                     e.FsType + " " + e.Source);
  }
  EXPECT_EQ(parsed, (std::vector<std::string>{"254:0 / / ext4 /dev/vda", "8:17 / /mnt/my disk ext4 /dev/sdb1",
                                              "8:17 /sub/dir /srv/bind ext4 /dev/sdb1", "0:45 / /data btrfs /dev/sdc",
                                              "0:23 / /run\ttab\\x tmpfs tmpfs"}));
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
  std::vector<std::string> parsed;
  for (const SwapEntry& e : ParseSwaps(text)) {
    parsed.push_back(e.Path + " " + e.Type);
  }
  EXPECT_EQ(parsed, (std::vector<std::string>{"/dev/sdb2 partition", "/swap file file"}));
  EXPECT_TRUE(ParseSwaps("Filename Type Size Used Priority\n").empty());
}

}  // namespace
}  // namespace vellumar::platform

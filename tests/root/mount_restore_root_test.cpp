#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "devices/base/units.h"
#include "platform/linux/volumes/linux_volume_system.h"
#include "support/loop_device.h"
#include "support/root_env.h"
#include "support/shell.h"

namespace vellumar {
namespace mount_restore_test {
namespace {

namespace fs = std::filesystem;
using testing::Quote;
using testing::Shell;

bool IsMountPoint(const std::string& path) { return Shell("mountpoint -q " + Quote(path)).ExitCode == 0; }

// The priority /proc/swaps shows for `node`, or nullopt when it is not active.
std::optional<int> SwapPriority(const std::string& node) {
  std::ifstream swaps("/proc/swaps");
  for (std::string line; std::getline(swaps, line);) {
    std::istringstream fields(line);
    std::string path, type, size, used;
    int priority = 0;
    if (fields >> path >> type >> size >> used >> priority && path == node) {
      return priority;
    }
  }
  return std::nullopt;
}

TEST(MountRestoreRoot, AVolumeComesBackWithItsOptionsAndASwapAreaWithItsPriority) {
  VELLUMAR_REQUIRE_ROOT();
  testing::PartitionedLoop disk(64 * kMiB, "label: dos\\n,32M,L\\n,,S\\n");
  ASSERT_TRUE(disk.Ok()) << disk.Error();
  if (!disk.Partitioned()) {
    GTEST_SKIP() << "the kernel shows no partitions of the loop disk";
  }
  const std::string data = disk.Partition(1);
  const std::string swap = disk.Partition(2);
  ASSERT_EQ(Shell("mkfs.ext4 -q -F " + Quote(data) + " && mkswap -q " + Quote(swap)).ExitCode, 0);
  testing::MountGuard mount(data, "-o ro,noexec");
  ASSERT_TRUE(mount.Ok());
  ASSERT_EQ(Shell("swapon -p 7 " + Quote(swap)).ExitCode, 0);
  struct SwapOff {
    std::string Node;
    ~SwapOff() { Shell("swapoff " + Quote(Node) + " 2>/dev/null"); }
  } swapOff{swap};

  platform::LinuxVolumeSystem volumes("/sys", "/proc", "/dev");
  auto volume = volumes.OpenVolume(data);
  ASSERT_NE(volume, nullptr);
  ASSERT_TRUE(volume->Lock());
  EXPECT_FALSE(IsMountPoint(mount.Point()));
  EXPECT_EQ(volume->TakenLines(), std::vector<std::string>{"Unmounted " + mount.Point() + " (" + data + ")"});
  EXPECT_EQ(volume->Restore(), std::vector<std::string>{"Volume mounted again: " + data + " on " + mount.Point()});
  const std::string options = Shell("findmnt -no OPTIONS " + Quote(mount.Point())).Output;
  EXPECT_EQ(options.rfind("ro,", 0), 0U) << options;
  EXPECT_NE(options.find("noexec"), std::string::npos) << options;

  auto area = volumes.OpenVolume(swap);
  ASSERT_NE(area, nullptr);
  ASSERT_TRUE(area->Lock());
  EXPECT_FALSE(SwapPriority(swap));
  EXPECT_EQ(area->Restore(), std::vector<std::string>{"Swap switched on again: " + swap});
  EXPECT_EQ(SwapPriority(swap), 7);
}

// A user who owns the folder a mount point lies in swaps the mount point for a symbolic link
// while the volume is away: nothing is mounted through the link, nor on the old folder.
TEST(MountRestoreRoot, AMountPointSwappedForALinkGetsNothingMounted) {
  VELLUMAR_REQUIRE_ROOT();
  testing::LoopDevice loop(32 * kMiB);
  ASSERT_TRUE(loop.Ok()) << loop.Error();
  ASSERT_EQ(Shell("mkfs.ext4 -q -F " + Quote(loop.Node())).ExitCode, 0);
  std::string pattern = "/tmp/vellumar-owned-XXXXXX";
  ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
  const std::string folder = pattern;
  const std::string point = folder + "/mnt";
  const std::string elsewhere = folder + "/elsewhere";
  fs::create_directory(point);
  fs::create_directory(elsewhere);
  struct Cleanup {
    std::string Folder;
    ~Cleanup() {
      Shell("for m in " + Quote(Folder) + "/*; do mountpoint -q \"$m\" && umount \"$m\"; done; rm -rf " +
            Quote(Folder));
    }
  } cleanup{folder};
  ASSERT_EQ(Shell("mount " + Quote(loop.Node()) + " " + Quote(point)).ExitCode, 0);

  platform::LinuxVolumeSystem volumes("/sys", "/proc", "/dev");
  auto volume = volumes.OpenVolume(loop.Node());
  ASSERT_NE(volume, nullptr);
  ASSERT_TRUE(volume->Lock());
  fs::rename(point, folder + "/old");
  fs::create_directory_symlink(elsewhere, point);

  const std::vector<std::string> lines = volume->Restore();
  ASSERT_EQ(lines.size(), 1U);
  EXPECT_EQ(lines[0],
            "Volume could not be mounted again: " + loop.Node() + " on " + point + " (its mount point changed)");
  EXPECT_FALSE(IsMountPoint(elsewhere));
  EXPECT_FALSE(IsMountPoint(folder + "/old"));
}

}  // namespace
}  // namespace mount_restore_test
}  // namespace vellumar

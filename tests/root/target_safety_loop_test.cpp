#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>

#include "cli/cli_commands.h"
#include "cli_run.h"
#include "devices/base/units.h"
#include "support/loop_device.h"
#include "support/root_env.h"
#include "support/shell.h"

namespace vellumar {
namespace {

namespace fs = std::filesystem;
using testing::LoopDevice;
using testing::MountGuard;
using testing::Quote;
using testing::RunCli;
using testing::Shell;
using testing::ShellResult;

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// A loop device attached to another loop device's mounted partition. The kernel's exclusive
// open of the upper one does not reach the partition, so only the run's own hold protects it.
TEST(TargetSafetyLoop, LoopDeviceOverAMountedPartitionIsRefusedAndTheFileSystemStays) {
  VELLUMAR_REQUIRE_ROOT();
  testing::PartitionedLoop disk(96 * kMiB, "label: dos\n,80M,L\n");
  ASSERT_TRUE(disk.Ok()) << disk.Error();
  const std::string lower = disk.Partitioned() ? disk.Partition(1) : disk.Node();
  ASSERT_EQ(Shell("mkfs.ext4 -q -F " + Quote(lower)).ExitCode, 0);
  MountGuard mount(lower);
  ASSERT_TRUE(mount.Ok());
  std::ofstream(mount.Point() + "/keep") << "still here";
  testing::LoopAttachment attachment(lower);
  ASSERT_FALSE(attachment.Node().empty()) << attachment.Error();
  const std::string upper = attachment.Node();

  const ShellResult run = RunCli("format " + Quote(upper) + " --yes");
  EXPECT_EQ(run.ExitCode, 4) << run.Output;
  EXPECT_NE(run.Output.find("Unable to lock device. "), std::string::npos) << run.Output;
  EXPECT_EQ(run.Output.find("Formatting... "), std::string::npos);
  Shell("sync; echo 3 > /proc/sys/vm/drop_caches");
  EXPECT_EQ(ReadFile(mount.Point() + "/keep"), "still here");
  EXPECT_EQ(Shell("e2fsck -n " + Quote(lower) + " >/dev/null 2>&1").ExitCode, 0) << "the file system is intact";
}

// A fake /proc whose process 1 runs from the test's own file system: the running system.
class FakeSystemProc {
 public:
  explicit FakeSystemProc(const std::string& mountPoint) {
    std::string pattern = (fs::temp_directory_path() / "vellumar-proc-XXXXXX").string();
    root_ = ::mkdtemp(pattern.data()) != nullptr ? pattern : "";
    fs::create_directories(root_ + "/1");
    fs::create_directory_symlink("/proc/self", root_ + "/self");
    fs::create_symlink("/proc/swaps", root_ + "/swaps");
    std::istringstream lines(ReadFile("/proc/self/mountinfo"));
    std::ofstream out(root_ + "/1/mountinfo");
    for (std::string line; std::getline(lines, line);) {
      const std::string field = " " + mountPoint + " ";
      if (const auto at = line.find(field); at != std::string::npos) {
        out << line.replace(at, field.size(), " / ") << "\n";
      }
    }
  }
  ~FakeSystemProc() {
    std::error_code ignored;
    fs::remove_all(root_, ignored);
  }
  FakeSystemProc(const FakeSystemProc&) = delete;
  FakeSystemProc& operator=(const FakeSystemProc&) = delete;
  const std::string& Root() const { return root_; }

 private:
  std::string root_;
};

TEST(TargetSafetyLoop, TheRunningSystemsDiskIsListedMarkedAndRefused) {
  VELLUMAR_REQUIRE_ROOT();
  LoopDevice loop(80 * kMiB);
  ASSERT_TRUE(loop.Ok()) << loop.Error();
  ASSERT_EQ(Shell("mkfs.ext4 -q -F " + Quote(loop.Node())).ExitCode, 0);
  MountGuard mount(loop.Node());
  ASSERT_TRUE(mount.Ok());
  const FakeSystemProc proc(mount.Point());

  std::istringstream in;
  std::ostringstream out;
  std::ostringstream err;
  cli::CliEnvironment env{in, out, err};
  env.ProcRoot = proc.Root();
  EXPECT_EQ(cli::RunCli({"list"}, env), 0) << err.str();
  EXPECT_NE(out.str().find(loop.Node() + " (system)"), std::string::npos) << out.str();

  out.str("");
  EXPECT_EQ(cli::RunCli({"format", loop.Node(), "--yes"}, env), cli::kExitRefused) << err.str();
  EXPECT_NE(out.str().find("This device holds the running system (/ on " + loop.Node() +
                           "); it cannot be formatted while the system runs from it."),
            std::string::npos)
      << out.str();
  EXPECT_EQ(out.str().find("Locking device... "), std::string::npos);
  EXPECT_EQ(Shell("findmnt --source " + Quote(loop.Node()) + " >/dev/null").ExitCode, 0) << "nothing unmounted";
}

TEST(TargetSafetyLoop, AnEmptyDriveIsNotListed) {
  VELLUMAR_REQUIRE_ROOT();
  const testing::LoopDevice empty(0);
  ASSERT_TRUE(empty.Ok()) << empty.Error();
  const std::string node = empty.Node();
  const ShellResult list = RunCli("list");
  EXPECT_EQ(list.ExitCode, 0) << list.Output;
  EXPECT_EQ(list.Output.find(node + "\n"), std::string::npos) << list.Output;
}

}  // namespace
}  // namespace vellumar

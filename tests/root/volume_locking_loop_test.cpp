#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <memory>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

#include "cli_run.h"
#include "devices/base/units.h"
#include "support/loop_device.h"
#include "support/root_env.h"
#include "support/shell.h"

namespace vellumar {
namespace {

using testing::LoopDevice;
using testing::MountGuard;
using testing::Quote;
using testing::RunCli;
using testing::Shell;
using testing::ShellResult;

constexpr const char* kLockFailure =
    "Unable to lock device. Make sure you do not have open files on this device and try again. ";

bool Mounted(const std::string& node) { return Shell("findmnt --source " + Quote(node) + " >/dev/null").ExitCode == 0; }

bool SwapActive(const std::string& node) {
  std::ifstream swaps("/proc/swaps");
  const std::string text((std::istreambuf_iterator<char>(swaps)), std::istreambuf_iterator<char>());
  return text.find(node + " ") != std::string::npos;
}

// True when nothing holds the node: an exclusive open only succeeds then.
bool Unclaimed(const std::string& node) {
  const int fd = ::open(node.c_str(), O_RDONLY | O_EXCL | O_CLOEXEC);
  if (fd < 0) {
    return false;
  }
  ::close(fd);
  return true;
}

// Swap switched on for the test, switched off again whatever happened.
class SwapGuard {
 public:
  explicit SwapGuard(std::string node) : node_(std::move(node)) {
    active_ = Shell("mkswap -q " + Quote(node_) + " && swapon " + Quote(node_)).ExitCode == 0;
  }
  ~SwapGuard() {
    if (SwapActive(node_)) {
      Shell("swapoff " + Quote(node_));
    }
  }
  SwapGuard(const SwapGuard&) = delete;
  SwapGuard& operator=(const SwapGuard&) = delete;
  bool Ok() const { return active_; }

 private:
  std::string node_;
  bool active_ = false;
};

// A loop disk with two file-system partitions and a swap partition; without partitions the
// disk carries its volume itself.
class LoopDisk : public testing::PartitionedLoop {
 public:
  LoopDisk() : PartitionedLoop(96 * kMiB, "label: dos\\n,24M,L\\n,24M,L\\n,,S\\n") {}
};

bool MakeExt4(const std::string& node) { return Shell("mkfs.ext4 -q -F " + Quote(node)).ExitCode == 0; }

// The second file system is vfat where the kernel mounts it, ext4 elsewhere.
std::unique_ptr<MountGuard> MountSecondVolume(const std::string& node) {
  if (Shell("mkfs.vfat " + Quote(node) + " >/dev/null 2>&1").ExitCode == 0) {
    auto vfat = std::make_unique<MountGuard>(node, "-t vfat");
    if (vfat->Ok()) {
      return vfat;
    }
  }
  if (!MakeExt4(node)) {
    return nullptr;
  }
  return std::make_unique<MountGuard>(node);
}

// Every volume of the disk in use: two mounted file systems and a swap area, or one file system
// on an unpartitioned disk.
struct VolumesInUse {
  std::unique_ptr<MountGuard> First;
  std::unique_ptr<MountGuard> Second;
  std::unique_ptr<SwapGuard> Swap;
  std::vector<std::string> Nodes;
  std::string Text;  // as the list shows them

  explicit VolumesInUse(const LoopDisk& disk) {
    Nodes = disk.Partitioned() ? std::vector<std::string>{disk.Partition(1), disk.Partition(2), disk.Partition(3)}
                               : std::vector<std::string>{disk.Node()};
    if (MakeExt4(Nodes[0])) {
      First = std::make_unique<MountGuard>(Nodes[0]);
    }
    if (disk.Partitioned()) {
      Second = MountSecondVolume(Nodes[1]);
      Swap = std::make_unique<SwapGuard>(Nodes[2]);
    }
    for (const std::string& node : Nodes) {
      Text += (Text.empty() ? "" : " ") + node;
    }
  }
  bool Ok() const {
    return First && First->Ok() && (Nodes.size() == 1 || (Second && Second->Ok() && Swap && Swap->Ok()));
  }
};

TEST(VolumeLockingLoop, ListShowsTheLoopDiskWithItsVolumes) {
  VELLUMAR_REQUIRE_ROOT();
  LoopDisk disk;
  ASSERT_TRUE(disk.Ok()) << disk.Error();
  const VolumesInUse inUse(disk);
  ASSERT_TRUE(inUse.Ok());
  const std::string& volumes = inUse.Text;

  const ShellResult list = RunCli("list");
  ASSERT_EQ(list.ExitCode, 0) << list.Output;
  std::string row;
  std::istringstream lines(list.Output);
  for (std::string line; std::getline(lines, line);) {
    if (line.size() > disk.Node().size() && line.substr(line.size() - disk.Node().size()) == disk.Node()) {
      row = line;
    }
  }
  ASSERT_FALSE(row.empty()) << list.Output;
  EXPECT_NE(row.find("  FBVIRTUAL  "), std::string::npos) << row;
  EXPECT_NE(row.find("Storage Device (" + volumes + ")"), std::string::npos) << row;
  EXPECT_NE(row.find("  0000  "), std::string::npos) << row;
  EXPECT_NE(row.find("  000000  "), std::string::npos) << row;
  EXPECT_NE(row.find("  196608  "), std::string::npos) << row;

  // stderr is silent without --debug, so the output is the document alone.
  const ShellResult json = RunCli("list --json");
  ASSERT_EQ(json.ExitCode, 0) << json.Output;
  const nlohmann::json document = nlohmann::json::parse(json.Output, nullptr, false);
  ASSERT_FALSE(document.is_discarded()) << json.Output;
  const auto drives = document.at("drives");
  const auto entry =
      std::find_if(drives.begin(), drives.end(), [&](const nlohmann::json& d) { return d.at("node") == disk.Node(); });
  ASSERT_NE(entry, drives.end()) << json.Output;
  EXPECT_EQ(entry->at("bus_name"), "FBVIRTUAL");
  EXPECT_EQ(entry->at("sector_count"), 196608);
  std::vector<std::string> inUseVolumes;
  for (const auto& volume : entry->at("volumes")) {
    if (!volume.at("mount_points").empty()) {
      inUseVolumes.push_back(volume.at("node"));
    }
  }
  EXPECT_EQ(inUseVolumes, inUse.Nodes) << json.Output;

  const ShellResult debug = RunCli("list --debug");
  ASSERT_EQ(debug.ExitCode, 0);
  EXPECT_NE(debug.Output.find("Trying device " + disk.Node()), std::string::npos);
  EXPECT_NE(debug.Output.find("Buffer: 512 bytes\n 28 00 00 00"), std::string::npos);
  EXPECT_NE(debug.Output.find("Partitions: " + volumes), std::string::npos);
  EXPECT_NE(debug.Output.find("Found partition " + disk.Node()), std::string::npos);
}

TEST(VolumeLockingLoop, FormatTakesTheVolumesAwayAndLeavesNothingClaimed) {
  VELLUMAR_REQUIRE_ROOT();
  LoopDisk disk;
  ASSERT_TRUE(disk.Ok()) << disk.Error();
  const VolumesInUse inUse(disk);
  ASSERT_TRUE(inUse.Ok());
  // A second mount point of the same file system is the same volume and goes too.
  const MountGuard bind(inUse.First->Point(), "--bind");
  ASSERT_TRUE(bind.Ok());

  const ShellResult run = RunCli("format " + Quote(disk.Node()) + " --quick --yes");
  EXPECT_EQ(run.ExitCode, 0) << run.Output;
  const std::size_t locking = run.Output.find("Locking device... ");
  ASSERT_NE(locking, std::string::npos) << run.Output;
  EXPECT_NE(run.Output.find("Formatting... ", locking), std::string::npos) << run.Output;
  EXPECT_NE(run.Output.find("Remember to create new partitions."), std::string::npos);
  for (const std::string& volume : inUse.Nodes) {
    EXPECT_FALSE(Mounted(volume)) << volume;
    EXPECT_FALSE(SwapActive(volume)) << volume;
  }
  EXPECT_NE(Shell("mountpoint -q " + Quote(bind.Point())).ExitCode, 0);
  if (disk.Partitioned()) {
    EXPECT_TRUE(disk.PartitionsGone()) << "the partition table was read again after the run";
  }
  EXPECT_NE(Shell("blkid -p " + Quote(disk.Node()) + " >/dev/null 2>&1").ExitCode, 0) << "no signature is left";
  EXPECT_TRUE(Unclaimed(disk.Node())) << "every claim of the run is released";
}

TEST(VolumeLockingLoop, FileHeldOpenRefusesTheRunAndReleasesEveryClaim) {
  VELLUMAR_REQUIRE_ROOT();
  LoopDisk disk;
  ASSERT_TRUE(disk.Ok()) << disk.Error();
  const std::string quiet = disk.Partitioned() ? disk.Partition(1) : "";
  const std::string busy = disk.Partitioned() ? disk.Partition(2) : disk.Node();
  std::unique_ptr<MountGuard> quietMount;
  if (!quiet.empty()) {
    ASSERT_TRUE(MakeExt4(quiet));
    quietMount = std::make_unique<MountGuard>(quiet);
    ASSERT_TRUE(quietMount->Ok());
  }
  ASSERT_TRUE(MakeExt4(busy));
  MountGuard busyMount(busy);
  ASSERT_TRUE(busyMount.Ok());
  const std::string held = busyMount.Point() + "/held";
  const int fd = ::open(held.c_str(), O_CREAT | O_RDWR | O_CLOEXEC, 0600);
  ASSERT_GE(fd, 0);

  const ShellResult run = RunCli("format " + Quote(disk.Node()) + " --yes");
  ::close(fd);
  EXPECT_EQ(run.ExitCode, 4) << run.Output;
  EXPECT_NE(run.Output.find(kLockFailure), std::string::npos) << run.Output;
  EXPECT_EQ(run.Output.find("Formatting... "), std::string::npos);
  EXPECT_EQ(run.Output.find("Remember to create new partitions."), std::string::npos);
  EXPECT_TRUE(Mounted(busy)) << "a busy file system is never forced away";
  EXPECT_EQ(Shell("dumpe2fs -h " + Quote(busy) + " >/dev/null 2>&1").ExitCode, 0) << "nothing was written";
  if (!quiet.empty()) {
    // Every volume is checked before any is taken: the idle one was never unmounted.
    EXPECT_TRUE(Mounted(quiet));
    EXPECT_EQ(Shell("dumpe2fs -h " + Quote(quiet) + " >/dev/null 2>&1").ExitCode, 0);
    quietMount.reset();
  }
  ASSERT_EQ(Shell("umount " + Quote(busyMount.Point())).ExitCode, 0);
  EXPECT_TRUE(Unclaimed(disk.Node())) << "nothing stays held";
}

TEST(VolumeLockingLoop, SwapInUseIsSwitchedOffAndReleased) {
  VELLUMAR_REQUIRE_ROOT();
  LoopDisk disk;
  ASSERT_TRUE(disk.Ok()) << disk.Error();
  const std::string area = disk.Partitioned() ? disk.Partition(3) : disk.Node();
  SwapGuard swap(area);
  ASSERT_TRUE(swap.Ok());
  ASSERT_TRUE(SwapActive(area));

  const ShellResult run = RunCli("format " + Quote(disk.Node()) + " --quick --yes");
  EXPECT_EQ(run.ExitCode, 0) << run.Output;
  EXPECT_FALSE(SwapActive(area));
  EXPECT_TRUE(Unclaimed(disk.Node()));
  if (disk.Partitioned()) {
    EXPECT_TRUE(disk.PartitionsGone());
  }
}

}  // namespace
}  // namespace vellumar

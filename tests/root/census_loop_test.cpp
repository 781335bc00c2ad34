#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cctype>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "cli_run.h"
#include "devices/base/units.h"
#include "platform/linux/io/unique_fd.h"
#include "support/loop_device.h"
#include "support/root_env.h"
#include "support/shell.h"

// Every user of a drive, and of whatever is stacked on it, is found before a byte is written:
// each run here ends refused, with the data, the mounts and the swap areas as they were.
namespace vellumar {
namespace census_loop_test {
namespace {

using platform::UniqueFd;
using testing::LoopAttachment;
using testing::LoopDevice;
using testing::MountGuard;
using testing::PartitionedLoop;
using testing::Quote;
using testing::RunCli;
using testing::Shell;
using testing::ShellResult;

constexpr const char* kLockFailure =
    "Unable to lock device. Make sure you do not have open files on this device and try again. ";
constexpr const char* kContent = "still here";
constexpr const char* kOnePartition = "label: dos\n,40M,L\n";

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// The file as the disk holds it, not as the page cache remembers it.
bool Intact(const std::string& file) {
  Shell("sync; echo 3 > /proc/sys/vm/drop_caches");
  return ReadFile(file) == kContent;
}

bool Mounted(const std::string& point) { return Shell("mountpoint -q " + Quote(point)).ExitCode == 0; }

// `word` stands alone in `text`: /dev/loop1 is not found in /dev/loop12, pid 12 not in 123.
bool Names(const std::string& text, const std::string& word) {
  const auto alnum = [&](std::size_t at) { return std::isalnum(static_cast<unsigned char>(text[at])) != 0; };
  for (auto at = text.find(word); at != std::string::npos; at = text.find(word, at + 1)) {
    if ((at == 0 || !alnum(at - 1)) && (at + word.size() == text.size() || !alnum(at + word.size()))) {
      return true;
    }
  }
  return false;
}

// Status 4, the users named before the lock failure, nothing formatted and nothing left unable to
// come back. Returns the "In use: " lines.
std::string ExpectRefused(const std::string& arguments) {
  const ShellResult run = RunCli(arguments);
  EXPECT_EQ(run.ExitCode, 4) << run.Output;
  std::string inUse;
  std::istringstream lines(run.Output);
  // From the marker on: the time stamp before it could pass for a small pid.
  for (std::string line; std::getline(lines, line);) {
    const auto at = line.find("In use: ");
    inUse += at != std::string::npos ? line.substr(at) + "\n" : "";
  }
  EXPECT_FALSE(inUse.empty());
  EXPECT_LT(run.Output.find("In use: "), run.Output.find(kLockFailure));
  EXPECT_EQ(run.Output.find("Formatting... "), std::string::npos);
  EXPECT_EQ(run.Output.find("could not be mounted again"), std::string::npos);
  return inUse;
}

// The priority /proc/swaps shows for `area`; "" when it is not in use.
std::string SwapPriority(const std::string& area) {
  std::istringstream swaps(ReadFile("/proc/swaps"));
  for (std::string line; std::getline(swaps, line);) {
    if (line.rfind(area + " ", 0) == 0 || line.rfind(area + "\t", 0) == 0) {
      return line.substr(line.find_last_of(" \t") + 1);
    }
  }
  return "";
}

// Swap switched on for the test and off again whatever happened.
struct SwapGuard {
  SwapGuard(std::string area, const std::string& options)
      : Area(std::move(area)),
        Ok(Shell("mkswap -q " + Quote(Area) + " && swapon " + options + " " + Quote(Area)).ExitCode == 0) {}
  ~SwapGuard() { Shell("swapoff " + Quote(Area) + " 2>/dev/null"); }
  std::string Area;
  bool Ok;
};

// A child that opens `node` for writing, writes `data` at its start without flushing it and stays,
// rewriting it all the time if `keepWriting`, until it is killed with the guard.
struct Holder {
  Holder(const std::string& node, const std::string& data, bool keepWriting) {
    int ready[2];
    if (::pipe2(ready, O_CLOEXEC) != 0) {
      return;
    }
    Pid = ::fork();
    if (Pid == 0) {
      const int fd = ::open(node.c_str(), O_RDWR | O_CLOEXEC);
      const auto put = [&] { return ::pwrite(fd, data.data(), data.size(), 0) == std::ssize(data); };
      const char wrote = fd >= 0 && put() ? 1 : 0;
      (void)!::write(ready[1], &wrote, 1);
      while (keepWriting && put() && ::usleep(1000) == 0) {
      }
      for (;;) {
        ::pause();
      }
    }
    ::close(ready[1]);
    char wrote = 0;
    Ok = Pid > 0 && ::read(ready[0], &wrote, 1) == 1 && wrote == 1;
    ::close(ready[0]);
  }
  ~Holder() {
    if (Pid > 0) {
      ::kill(Pid, SIGKILL);
      ::waitpid(Pid, nullptr, 0);
    }
  }
  pid_t Pid = -1;
  bool Ok = false;
};

UniqueFd HoldFileOn(const MountGuard& mount) {
  return UniqueFd(::open((mount.Point() + "/held").c_str(), O_CREAT | O_RDWR | O_CLOEXEC, 0600));
}

class CensusLoop : public ::testing::Test {
 protected:
  // A partitioned loop disk of the test's own; null when the kernel shows no partitions.
  std::unique_ptr<PartitionedLoop> Disk(std::int64_t size, const char* table) {
    auto disk = std::make_unique<PartitionedLoop>(size, table);
    Track(disk->Image());
    EXPECT_TRUE(disk->Partitioned()) << disk->Error();
    return disk->Partitioned() ? std::move(disk) : nullptr;
  }
  std::unique_ptr<LoopDevice> Loop(std::int64_t size) {
    auto loop = std::make_unique<LoopDevice>(size, "", 0);
    Track(loop->Image());
    EXPECT_TRUE(loop->Ok()) << loop->Error();
    return loop->Ok() ? std::move(loop) : nullptr;
  }
  // An ext4 file system on `node`, mounted, with kContent in Keep(mount) flushed to the disk.
  std::unique_ptr<MountGuard> Volume(const std::string& node) {
    if (Shell("mkfs.ext4 -q -F " + Quote(node)).ExitCode != 0) {
      return nullptr;
    }
    auto mount = std::make_unique<MountGuard>(node);
    if (!mount->Ok()) {
      return nullptr;
    }
    Track(mount->Point());
    std::ofstream(Keep(*mount)) << kContent;
    Shell("sync");
    return mount;
  }
  static std::string Keep(const MountGuard& mount) { return mount.Point() + "/keep"; }

  // Images, nodes, mount points and swap areas the test made: none may outlive it.
  void Track(const std::string& made) { made_.push_back(made); }
  void TearDown() override {
    const std::string left = Shell("losetup -a; cat /proc/self/mountinfo /proc/swaps").Output;
    for (const std::string& made : made_) {
      EXPECT_TRUE(made.empty() || !Names(left, made)) << made << " outlived the test:\n" << left;
    }
  }

 private:
  std::vector<std::string> made_;
};

TEST_F(CensusLoop, MountedLoopDeviceOnAPartitionOrTheWholeDiskIsNamed) {
  VELLUMAR_REQUIRE_ROOT();
  for (const bool onPartition : {true, false}) {
    SCOPED_TRACE(onPartition ? "upper loop on a partition" : "upper loop on the whole disk");
    const auto disk = Disk(64 * kMiB, kOnePartition);
    ASSERT_TRUE(disk);
    const LoopAttachment upper(onPartition ? disk->Partition(1) : disk->Node());
    ASSERT_FALSE(upper.Node().empty()) << upper.Error();
    const auto volume = Volume(upper.Node());
    ASSERT_TRUE(volume);

    const std::string inUse = ExpectRefused("format " + Quote(disk->Node()) + " --yes");
    EXPECT_TRUE(Names(inUse, upper.Node())) << inUse;
    EXPECT_TRUE(Intact(Keep(*volume)));
  }
}

TEST_F(CensusLoop, ImageOfAMountedLoopDeviceIsRefusedByPathAndThroughASecondLoop) {
  VELLUMAR_REQUIRE_ROOT();
  const auto loop = Loop(64 * kMiB);
  ASSERT_TRUE(loop);
  const auto volume = Volume(loop->Node());
  ASSERT_TRUE(volume);
  const std::string byPath = ExpectRefused("format " + Quote(loop->Image()) + " --yes");
  EXPECT_TRUE(Names(byPath, loop->Node())) << byPath;
  EXPECT_TRUE(Intact(Keep(*volume)));

  const LoopAttachment second(loop->Image());
  ASSERT_FALSE(second.Node().empty()) << second.Error();
  ExpectRefused("format " + Quote(second.Node()) + " --yes");
  EXPECT_TRUE(Intact(Keep(*volume)));
}

TEST_F(CensusLoop, LoopAttachedThroughADeletedNodeOfAMountedPartitionIsRefused) {
  VELLUMAR_REQUIRE_ROOT();
  const auto disk = Disk(64 * kMiB, kOnePartition);
  ASSERT_TRUE(disk);
  const auto volume = Volume(disk->Partition(1));
  ASSERT_TRUE(volume);
  struct stat partition {};
  ASSERT_EQ(::stat(disk->Partition(1).c_str(), &partition), 0);
  const std::string node = "/tmp/vellumar-census-node-" + std::to_string(::getpid());
  Track(node);
  ::unlink(node.c_str());
  ASSERT_EQ(::mknod(node.c_str(), S_IFBLK | 0600, partition.st_rdev), 0);
  const LoopAttachment upper(node);
  ::unlink(node.c_str());
  ASSERT_FALSE(upper.Node().empty()) << upper.Error();
  ASSERT_EQ(ReadFile("/sys/block/" + upper.Node().substr(5) + "/loop/backing_file"), node + " (deleted)\n");

  ExpectRefused("format " + Quote(upper.Node()) + " --yes");
  EXPECT_TRUE(Intact(Keep(*volume)));
}

TEST_F(CensusLoop, ProcessHoldingAPartitionOpenIsNamedAndItsUnflushedWriteSurvives) {
  VELLUMAR_REQUIRE_ROOT();
  const auto disk = Disk(64 * kMiB, kOnePartition);
  ASSERT_TRUE(disk);
  const std::string data = "written through the partition, not flushed";
  {
    const Holder holder(disk->Partition(1), data, false);
    ASSERT_TRUE(holder.Ok);
    const std::string inUse = ExpectRefused("format " + Quote(disk->Node()) + " --yes");
    EXPECT_TRUE(Names(inUse, std::to_string(holder.Pid))) << inUse;
  }
  // The holder's last close flushed its write; only the partition table's sector has zeros.
  Shell("sync; echo 3 > /proc/sys/vm/drop_caches");
  std::string start(data.size(), '\0');
  std::ifstream(disk->Partition(1), std::ios::binary).read(start.data(), std::ssize(start));
  EXPECT_EQ(start, data);
  EXPECT_EQ(testing::NonZeroBytes(disk->Image(), 512), 64 * kMiB - 512);
}

TEST_F(CensusLoop, RefusedTwiceTheIdleVolumeStaysMounted) {
  VELLUMAR_REQUIRE_ROOT();
  const auto disk = Disk(96 * kMiB, "label: dos\n,40M,L\n,40M,L\n");
  ASSERT_TRUE(disk);
  const auto idle = Volume(disk->Partition(1));
  const auto busy = Volume(disk->Partition(2));
  ASSERT_TRUE(idle && busy);
  const UniqueFd held = HoldFileOn(*busy);
  ASSERT_TRUE(held);
  for (int attempt = 1; attempt <= 2; ++attempt) {
    SCOPED_TRACE("attempt " + std::to_string(attempt));
    ExpectRefused("format " + Quote(disk->Node()) + " --yes");
    EXPECT_TRUE(Mounted(idle->Point()));
    EXPECT_TRUE(Mounted(busy->Point()));
  }
  EXPECT_TRUE(Intact(Keep(*idle)));
  EXPECT_TRUE(Intact(Keep(*busy)));
}

TEST_F(CensusLoop, BindMountOfASubfolderAndABtrfsSubvolumeMountAreRefusedAndStay) {
  VELLUMAR_REQUIRE_ROOT();
  const auto ext4 = Loop(64 * kMiB);
  ASSERT_TRUE(ext4);
  const auto volume = Volume(ext4->Node());
  ASSERT_TRUE(volume);
  std::filesystem::create_directory(volume->Point() + "/sub");
  const MountGuard bind(volume->Point() + "/sub", "--bind");
  Track(bind.Point());
  ASSERT_TRUE(bind.Ok());
  ExpectRefused("format " + Quote(ext4->Node()) + " --yes");
  EXPECT_TRUE(Mounted(volume->Point()));
  EXPECT_TRUE(Mounted(bind.Point()));
  EXPECT_TRUE(Intact(Keep(*volume)));

  if (Shell("command -v mkfs.btrfs").ExitCode != 0) {
    std::printf("[   NOTE   ] mkfs.btrfs is missing (btrfs-progs): the subvolume half did not run\n");
    return;
  }
  const auto btrfs = Loop(64 * kMiB);
  ASSERT_TRUE(btrfs);
  ASSERT_EQ(Shell("mkfs.btrfs -q -f --mixed " + Quote(btrfs->Node())).ExitCode, 0);
  {
    const MountGuard top(btrfs->Node());
    Track(top.Point());
    ASSERT_TRUE(top.Ok());
    ASSERT_EQ(Shell("btrfs -q subvolume create " + Quote(top.Point() + "/sv")).ExitCode, 0);
    std::ofstream(top.Point() + "/sv/keep") << kContent;
  }
  const MountGuard subvolume(btrfs->Node(), "-o subvol=sv");
  Track(subvolume.Point());
  ASSERT_TRUE(subvolume.Ok());
  ExpectRefused("format " + Quote(btrfs->Node()) + " --yes");
  EXPECT_TRUE(Mounted(subvolume.Point()));
  EXPECT_TRUE(Intact(Keep(subvolume)));
}

TEST_F(CensusLoop, SwapStaysOnAsItWas) {
  VELLUMAR_REQUIRE_ROOT();
  // An active swap file named as the device.
  const auto loop = Loop(96 * kMiB);
  ASSERT_TRUE(loop);
  const auto home = Volume(loop->Node());
  ASSERT_TRUE(home);
  const std::string file = home->Point() + "/swapfile";
  ASSERT_EQ(
      Shell("dd if=/dev/zero of=" + Quote(file) + " bs=1M count=64 status=none; chmod 600 " + Quote(file)).ExitCode, 0);
  const SwapGuard swapFile(file, "");
  Track(file);
  ASSERT_TRUE(swapFile.Ok);
  ExpectRefused("format " + Quote(file) + " --yes");
  EXPECT_FALSE(SwapPriority(file).empty());
  EXPECT_EQ(Shell("blkid -p -s TYPE -o value " + Quote(file)).Output, "swap\n");

  // A swap partition of a disk refused for another, busy volume keeps its priority.
  const auto disk = Disk(96 * kMiB, "label: dos\n,40M,L\n,,S\n");
  ASSERT_TRUE(disk);
  const auto busy = Volume(disk->Partition(1));
  ASSERT_TRUE(busy);
  const UniqueFd held = HoldFileOn(*busy);
  ASSERT_TRUE(held);
  const SwapGuard partition(disk->Partition(2), "-p 7");
  ASSERT_TRUE(partition.Ok);
  ExpectRefused("format " + Quote(disk->Node()) + " --yes");
  EXPECT_EQ(SwapPriority(disk->Partition(2)), "7");
  EXPECT_TRUE(Intact(Keep(*busy)));
}

TEST_F(CensusLoop, VerifyRefusesADriveBeingWrittenOrMounted) {
  VELLUMAR_REQUIRE_ROOT();
  const auto written = Loop(40 * kMiB);
  ASSERT_TRUE(written);
  {
    const Holder writer(written->Node(), "written all the time", true);
    ASSERT_TRUE(writer.Ok);
    const ShellResult run = RunCli("verify " + Quote(written->Node()) + " --full");
    EXPECT_EQ(run.ExitCode, 4) << run.Output;
  }
  const auto mounted = Loop(40 * kMiB);
  ASSERT_TRUE(mounted);
  const auto volume = Volume(mounted->Node());
  ASSERT_TRUE(volume);
  const ShellResult run = RunCli("verify " + Quote(mounted->Node()) + " --full");
  EXPECT_EQ(run.ExitCode, 4) << run.Output;
  EXPECT_TRUE(Mounted(volume->Point()));
}

}  // namespace
}  // namespace census_loop_test
}  // namespace vellumar

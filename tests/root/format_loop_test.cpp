#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdint>
#include <fstream>
#include <string>
#include <vector>

#include "support/loop_device.h"
#include "support/root_env.h"
#include "support/shell.h"

namespace vellumar {
namespace {

using testing::LoopDevice;
using testing::MountGuard;
using testing::Quote;
using testing::Shell;
using testing::ShellResult;

constexpr std::int64_t kMiB = 1024 * 1024;

ShellResult RunCli(const std::string& arguments) {
  return Shell(std::string(VELLUMAR_CLI_PATH) + " " + arguments + " </dev/null");
}

// Reads the image file behind the loop device: an independent look at what reached the disk.
std::vector<std::uint8_t> ReadImage(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::int64_t NonZeroIn(const std::vector<std::uint8_t>& bytes, std::int64_t begin, std::int64_t end) {
  std::int64_t count = 0;
  for (std::int64_t i = begin; i < end; ++i) {
    count += bytes[static_cast<std::size_t>(i)] != 0 ? 1 : 0;
  }
  return count;
}

void ExpectFullRunZeroes(std::int64_t size, const std::string& losetupOptions, std::int64_t sectorSize) {
  LoopDevice loop(size, losetupOptions);
  ASSERT_TRUE(loop.Ok()) << loop.Error();
  const ShellResult run = RunCli("format " + Quote(loop.Node()) + " --yes");
  EXPECT_EQ(run.ExitCode, 0) << run.Output;
  EXPECT_NE(run.Output.find("Device capacity: "), std::string::npos);
  EXPECT_NE(run.Output.find("Low-level format is complete."), std::string::npos) << run.Output;
  EXPECT_NE(run.Output.find("Remember to create new partitions."), std::string::npos);
  const std::string lba = std::to_string(size / sectorSize);
  EXPECT_NE(run.Output.find("(" + lba + " " + std::to_string(sectorSize) + "-byte sectors)"), std::string::npos)
      << run.Output;
  const auto bytes = ReadImage(loop.Image());
  ASSERT_EQ(static_cast<std::int64_t>(bytes.size()), size);
  EXPECT_EQ(NonZeroIn(bytes, 0, size), 0);
}

TEST(FormatLoopDevice, FullRunZeroesEveryByteWith512ByteSectors) {
  VELLUMAR_REQUIRE_ROOT();
  ExpectFullRunZeroes(100 * kMiB + 3 * 512, "", 512);  // not a multiple of any block size
}

TEST(FormatLoopDevice, FullRunZeroesEveryByteWith4096ByteSectors) {
  VELLUMAR_REQUIRE_ROOT();
  ExpectFullRunZeroes(260 * kMiB + 5 * 4096, "--sector-size 4096", 4096);  // over 65535 sectors
}

TEST(FormatLoopDevice, QuickWipeZeroesExactlyTheHeadAndTheTail) {
  VELLUMAR_REQUIRE_ROOT();
  const std::int64_t size = 64 * kMiB;
  LoopDevice loop(size);
  ASSERT_TRUE(loop.Ok()) << loop.Error();
  const ShellResult run = RunCli("format " + Quote(loop.Node()) + " --quick --yes");
  EXPECT_EQ(run.ExitCode, 0) << run.Output;
  const auto bytes = ReadImage(loop.Image());
  ASSERT_EQ(static_cast<std::int64_t>(bytes.size()), size);
  EXPECT_EQ(NonZeroIn(bytes, 0, 10'240'000), 0);
  EXPECT_EQ(NonZeroIn(bytes, 10'240'000, size - kMiB), size - kMiB - 10'240'000);  // the marker is untouched
  EXPECT_EQ(NonZeroIn(bytes, size - kMiB, size), 0);
}

TEST(FormatLoopDevice, RefusesADiskWhoseFileSystemIsInUse) {
  VELLUMAR_REQUIRE_ROOT();
  const std::int64_t size = 64 * kMiB;
  LoopDevice loop(size);
  ASSERT_TRUE(loop.Ok()) << loop.Error();
  ASSERT_EQ(Shell("mkfs.ext4 -q -F " + Quote(loop.Node())).ExitCode, 0);
  MountGuard mount(loop.Node());
  ASSERT_TRUE(mount.Ok());
  // An open file keeps the file system busy, so nothing may take the disk away from it.
  const std::string held = mount.Point() + "/held";
  const int fd = ::open(held.c_str(), O_CREAT | O_RDWR | O_CLOEXEC, 0600);
  ASSERT_GE(fd, 0);

  const ShellResult run = RunCli("format " + Quote(loop.Node()) + " --yes");
  ::close(fd);
  EXPECT_EQ(run.ExitCode, 4) << run.Output;
  EXPECT_NE(run.Output.find("Unable to lock device. Make sure you do not have open files on this device and try "
                            "again. "),
            std::string::npos)
      << run.Output;
  EXPECT_EQ(run.Output.find("Formatting... "), std::string::npos);
  EXPECT_EQ(Shell("mountpoint -q " + Quote(mount.Point())).ExitCode, 0) << "the file system must stay mounted";
  EXPECT_EQ(Shell("dumpe2fs -h " + Quote(loop.Node()) + " >/dev/null").ExitCode, 0) << "the file system is intact";
}

TEST(FormatImageFile, ImageFileIsFormattedLikeADisk) {
  const std::string image = "/tmp/vellumar-image-" + std::to_string(::getpid()) + ".img";
  {
    std::ofstream out(image, std::ios::binary);
    const std::vector<char> chunk(kMiB, 'x');
    for (int i = 0; i < 40; ++i) {
      out.write(chunk.data(), static_cast<std::streamsize>(chunk.size()));
    }
  }
  const ShellResult run = RunCli("format " + Quote(image) + " --yes");
  const auto bytes = ReadImage(image);
  ::unlink(image.c_str());
  EXPECT_EQ(run.ExitCode, 0) << run.Output;
  EXPECT_NE(run.Output.find("Low-level format is complete."), std::string::npos);
  ASSERT_EQ(static_cast<std::int64_t>(bytes.size()), 40 * kMiB);
  EXPECT_EQ(NonZeroIn(bytes, 0, 40 * kMiB), 0);
}

TEST(FormatLoopDevice, RefusesWithoutConfirmationWhenNotOnATerminal) {
  VELLUMAR_REQUIRE_ROOT();
  LoopDevice loop(40 * kMiB);
  ASSERT_TRUE(loop.Ok()) << loop.Error();
  const ShellResult run = RunCli("format " + Quote(loop.Node()));
  EXPECT_EQ(run.ExitCode, 4) << run.Output;
  const auto bytes = ReadImage(loop.Image());
  EXPECT_EQ(NonZeroIn(bytes, 0, 4096), 4096) << "nothing may be written without confirmation";
}

TEST(FormatLoopDevice, RefusesADeviceBelow65535Sectors) {
  VELLUMAR_REQUIRE_ROOT();
  LoopDevice loop(65534 * 512);
  ASSERT_TRUE(loop.Ok()) << loop.Error();
  const ShellResult run = RunCli("format " + Quote(loop.Node()) + " --yes");
  EXPECT_EQ(run.ExitCode, 4);
  EXPECT_NE(run.Output.find("This device cannot be accessed because it is smaller than 65535 sectors.  "),
            std::string::npos);
}

}  // namespace
}  // namespace vellumar

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
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
using testing::NonZeroBytes;
using testing::Quote;
using testing::RunCli;
using testing::Shell;
using testing::ShellResult;

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
  EXPECT_EQ(std::filesystem::file_size(loop.Image()), static_cast<std::uintmax_t>(size));
  EXPECT_EQ(NonZeroBytes(loop.Image()), 0);
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
  EXPECT_EQ(NonZeroBytes(loop.Image(), 0, 10'240'000), 0);
  EXPECT_EQ(NonZeroBytes(loop.Image(), 10'240'000, size - kMiB), size - kMiB - 10'240'000);  // the fill stays
  EXPECT_EQ(NonZeroBytes(loop.Image(), size - kMiB, size), 0);
}

TEST(FormatImageFile, ImageFileIsFormattedLikeADiskToItsLastByte) {
  const std::string image = "/tmp/vellumar-image-" + std::to_string(::getpid()) + ".img";
  constexpr std::int64_t kOddTail = 300;  // not a whole sector: these bytes are erased too
  {
    std::ofstream out(image, std::ios::binary);
    const std::vector<char> chunk(kMiB, 'x');
    for (int i = 0; i < 40; ++i) {
      out.write(chunk.data(), static_cast<std::streamsize>(chunk.size()));
    }
    out.write(chunk.data(), kOddTail);
  }
  const ShellResult run = RunCli("format " + Quote(image) + " --yes");
  EXPECT_EQ(run.ExitCode, 0) << run.Output;
  EXPECT_NE(run.Output.find("Low-level format is complete."), std::string::npos);
  EXPECT_EQ(std::filesystem::file_size(image), static_cast<std::uintmax_t>(40 * kMiB + kOddTail));
  EXPECT_EQ(NonZeroBytes(image), 0);
  ::unlink(image.c_str());
}

TEST(FormatLoopDevice, RefusesWithoutConfirmationOrBelow65535Sectors) {
  VELLUMAR_REQUIRE_ROOT();
  struct Case {
    std::int64_t Size;
    const char* Arguments;
    const char* Says;
  };
  for (const Case& c :
       {Case{40 * kMiB, "", ""},
        Case{65534 * 512, " --yes", "This device cannot be accessed because it is smaller than 65535 sectors.  "}}) {
    SCOPED_TRACE(c.Size);
    LoopDevice loop(c.Size);
    ASSERT_TRUE(loop.Ok()) << loop.Error();
    const ShellResult run = RunCli("format " + Quote(loop.Node()) + c.Arguments);
    EXPECT_EQ(run.ExitCode, 4) << run.Output;
    EXPECT_NE(run.Output.find(c.Says), std::string::npos) << run.Output;
    EXPECT_EQ(NonZeroBytes(loop.Image()), c.Size) << "nothing may be written";
  }
}

}  // namespace
}  // namespace vellumar

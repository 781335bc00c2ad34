#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdint>
#include <string>

#include "cli_run.h"
#include "devices/base/units.h"
#include "support/loop_device.h"
#include "support/root_env.h"
#include "support/shell.h"

namespace vellumar {
namespace check_edges_test {
namespace {

using testing::Quote;
using testing::RunCli;
using testing::Shell;
using testing::ShellResult;

void PlantByte(const std::string& path, std::int64_t offset) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_CLOEXEC);
  ASSERT_GE(fd, 0);
  const char byte = 0x5A;
  ASSERT_EQ(::pwrite(fd, &byte, 1, offset), 1);
  ::close(fd);
}

// An image that ends in part of a sector: the run writes its last bytes, and the check reads
// them back, so a byte planted there fails both the run's check and a later `verify`.
TEST(CheckEdgesLoop, ThePartialLastSectorOfAnImageIsReadBack) {
  VELLUMAR_REQUIRE_ROOT();
  const std::string image = "/tmp/vellumar-tail-" + std::to_string(::getpid()) + ".img";
  struct Remove {
    std::string Path;
    ~Remove() { ::unlink(Path.c_str()); }
  } remove{image};
  const std::int64_t size = 64 * kMiB + 1'000;
  ASSERT_EQ(Shell("head -c " + std::to_string(size) + " /dev/urandom > " + Quote(image)).ExitCode, 0);

  const ShellResult run = RunCli("format " + Quote(image) + " --yes --agree --verify full");
  ASSERT_EQ(run.ExitCode, 0) << run.Output;
  EXPECT_NE(run.Output.find("Verification passed: 67,109,864 bytes read, all zero."), std::string::npos) << run.Output;
  PlantByte(image, size - 100);
  const ShellResult check = RunCli("verify " + Quote(image) + " --full");
  EXPECT_EQ(check.ExitCode, 6) << check.Output;
  EXPECT_NE(check.Output.find("non-zero data at offset 67,109,376 (LBA 131,073); 1 sector differs."), std::string::npos)
      << check.Output;
}

// `verify` only reads: a write-protected disk is checked like any other.
TEST(CheckEdgesLoop, AWriteProtectedDiskIsVerified) {
  VELLUMAR_REQUIRE_ROOT();
  testing::LoopDevice loop(32 * kMiB, "", 0x00);
  ASSERT_TRUE(loop.Ok()) << loop.Error();
  ASSERT_EQ(Shell("blockdev --setro " + Quote(loop.Node())).ExitCode, 0);
  const ShellResult check = RunCli("verify " + Quote(loop.Node()) + " --full");
  Shell("blockdev --setrw " + Quote(loop.Node()));
  EXPECT_EQ(check.ExitCode, 0) << check.Output;
  EXPECT_NE(check.Output.find("Verification passed: 33,554,432 bytes read, all zero."), std::string::npos)
      << check.Output;
}

}  // namespace
}  // namespace check_edges_test
}  // namespace vellumar

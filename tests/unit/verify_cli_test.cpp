#include <fcntl.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <fstream>
#include <numeric>
#include <sstream>
#include <string>
#include <vector>

#include "cli/cli_commands.h"
#include "platform/linux/read_ahead.h"

namespace vellumar {
namespace {

using ::testing::HasSubstr;

TEST(VerifyCli, BadOptionsAreUsageErrorsBeforeAnyDriveIsTouched) {
  struct Case {
    std::vector<std::string> Args;
    std::string Message;
  };
  const std::vector<Case> cases = {
      {{"verify"}, "DRIVE is missing"},
      {{"verify", "/dev/null", "--seed", "12x"}, "--seed takes a whole number"},
      {{"verify", "/dev/null", "--serial"}, "--serial needs a value"},
      {{"verify", "/dev/null", "--fast"}, "unknown option '--fast'"},
      {{"verify", "/dev/a", "/dev/b"}, "only one DRIVE"},
  };
  for (const Case& c : cases) {
    std::istringstream in;
    std::ostringstream out;
    std::ostringstream err;
    cli::CliEnvironment env{in, out, err};
    EXPECT_EQ(cli::RunCli(c.Args, env), cli::kExitUsage) << c.Message;
    EXPECT_THAT(err.str(), HasSubstr(c.Message));
  }
}

TEST(ReadAhead, ReadsInTheBackgroundAtTheGivenOffsetAndStopsCleanly) {
  const std::string path = "/tmp/vellumar-read-ahead-" + std::to_string(::getpid());
  std::vector<std::uint8_t> bytes(3 * 65'536);
  std::iota(bytes.begin(), bytes.end(), std::uint8_t{0});
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  const int fd = ::open(path.c_str(), O_RDONLY);
  ASSERT_GE(fd, 0);
  std::vector<std::uint8_t> into(65'536);  // outlives the reader and its last read
  {
    platform::ReadAhead reader(fd);
    reader.Start(65'536 + 7, into.data(), 65'536);
    const platform::RawRead first = reader.Finish();
    EXPECT_EQ(first.Read, 65'536);
    EXPECT_TRUE(std::equal(into.begin(), into.end(), bytes.begin() + 65'536 + 7));
    reader.Start(3 * 65'536 - 100, into.data(), 65'536);  // past the end: a short read, no error
    const platform::RawRead last = reader.Finish();
    EXPECT_EQ(last.Read, 100);
    EXPECT_EQ(last.Error, 0);
    // A block long enough to be read as pieces side by side comes back as one run from its start.
    std::vector<std::uint8_t> block(4 * 65'536);
    reader.Start(0, block.data(), static_cast<std::int64_t>(block.size()));
    const platform::RawRead pieces = reader.Finish();
    EXPECT_EQ(pieces.Read, 3 * 65'536);
    EXPECT_TRUE(std::equal(bytes.begin(), bytes.end(), block.begin()));
    reader.Start(0, into.data(), 65'536);  // destroyed with a read in flight: waits, then joins
  }
  ::close(fd);
  ::unlink(path.c_str());
}

}  // namespace
}  // namespace vellumar

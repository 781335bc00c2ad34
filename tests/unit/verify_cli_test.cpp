#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "cli/cli_commands.h"

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
      {{"verify", "/dev/null", "--seed", "9007199254740992"}, "below 9007199254740992"},
      {{"verify", "/dev/null", "--serial"}, "--serial needs a value"},
      {{"verify", "/dev/null", "--fast"}, "unknown option '--fast'"},
      {{"verify", "/dev/a", "/dev/b"}, "only one DRIVE"},
      {{"verify", "/dev/null", "--destination", "shred"}, "--destination takes reuse, recycle or destroy"},
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

}  // namespace
}  // namespace vellumar

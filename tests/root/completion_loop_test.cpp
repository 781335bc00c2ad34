#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <sstream>
#include <string>
#include <vector>

#include "devices/base/units.h"
#include "support/loop_device.h"
#include "support/root_env.h"
#include "support/shell.h"

namespace vellumar {
namespace {

using testing::Quote;
using testing::Shell;
using testing::ShellResult;

// Runs the installed completion function on a command line whose last word is being typed.
std::vector<std::string> Complete(const std::string& words) {
  const std::string script =
      "source " + Quote(std::string(VELLUMAR_SOURCE_DIR) + "/dist/bash-completion/vellumar-cli") + "; COMP_WORDS=(" +
      words + "); COMP_CWORD=$((${#COMP_WORDS[@]} - 1)); _vellumar_cli;" + " printf '%s\\n' \"${COMPREPLY[@]}\"";
  const ShellResult result = Shell("bash -c " + Quote(script));
  EXPECT_EQ(result.ExitCode, 0) << result.Output;
  std::vector<std::string> offered;
  std::istringstream lines(result.Output);
  for (std::string line; std::getline(lines, line);) {
    if (!line.empty()) {
      offered.push_back(line);
    }
  }
  return offered;
}

bool Offers(const std::vector<std::string>& offered, const std::string& word) {
  return std::find(offered.begin(), offered.end(), word) != offered.end();
}

TEST(BashCompletion, OffersALoopDiskAndNoneOfItsPartitionsForEveryDriveCommand) {
  VELLUMAR_REQUIRE_ROOT();
  testing::PartitionedLoop disk(64 * kMiB, "label: dos\n,24M,L\n,,L\n");
  ASSERT_TRUE(disk.Ok()) << disk.Error();
  ASSERT_TRUE(disk.Partitioned()) << "the kernel shows no partitions of " << disk.Node();
  for (const std::string command : {"format", "details", "smart"}) {
    // Completing the disk's own node as a prefix would also match its partitions' nodes.
    for (const std::string& prefix : {disk.Node(), std::string("/dev/")}) {
      const std::vector<std::string> offered = Complete("vellumar-cli " + command + " " + Quote(prefix));
      EXPECT_TRUE(Offers(offered, disk.Node())) << command << " " << prefix;
      EXPECT_FALSE(Offers(offered, disk.Partition(1))) << command << " " << prefix;
      EXPECT_FALSE(Offers(offered, disk.Partition(2))) << command << " " << prefix;
    }
  }
  // The disk is offered after an option too, and options only where one is being typed.
  const std::vector<std::string> afterOption = Complete("vellumar-cli format --quick " + Quote(disk.Node()));
  EXPECT_TRUE(Offers(afterOption, disk.Node()));
  EXPECT_FALSE(Offers(afterOption, "--yes"));
}

TEST(BashCompletion, OffersCommandsOptionsFilesAndFolders) {
  const std::string data = VELLUMAR_SOURCE_DIR "/tests/data";
  const struct {
    std::string Words;
    std::string Offered;
    std::string NotOffered;
  } cases[] = {
      {"vellumar-cli ''", "format", "--yes"},
      {"vellumar-cli f", "format", "list"},
      {"vellumar-cli format --", "--serial", "--json"},
      {"vellumar-cli list --", "--json", "--yes"},
      {"vellumar-cli certificate ''", "verify", "format"},
      {"vellumar-cli verify /dev/null --destination ''", "destroy", "--yes"},
      {"vellumar-cli details --from-file " + Quote(data + "/"), data + "/ata", ""},
      {"vellumar-cli format /dev/null --certificate " + Quote(VELLUMAR_SOURCE_DIR "/tests/"),
       VELLUMAR_SOURCE_DIR "/tests/data", VELLUMAR_SOURCE_DIR "/tests/CMakeLists.txt"},
  };
  for (const auto& c : cases) {
    const std::vector<std::string> offered = Complete(c.Words);
    EXPECT_TRUE(Offers(offered, c.Offered)) << c.Words;
    if (!c.NotOffered.empty()) {
      EXPECT_FALSE(Offers(offered, c.NotOffered)) << c.Words;
    }
  }
}

}  // namespace
}  // namespace vellumar

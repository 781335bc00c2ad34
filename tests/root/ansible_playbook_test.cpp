#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>

#include "devices/base/units.h"
#include "support/loop_device.h"
#include "support/root_env.h"
#include "support/shell.h"
#include "support/temp_folder.h"

namespace vellumar {
namespace {

using testing::LoopDevice;
using testing::NonZeroBytes;
using testing::Quote;
using testing::Shell;
using testing::ShellResult;

namespace fs = std::filesystem;

class AnsiblePlaybook : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/vellumar-ansible-XXXXXX";
    ASSERT_NE(::mkdtemp(pattern), nullptr);
    dir_ = pattern;
  }
  void TearDown() override {
    std::error_code ignored;
    fs::remove_all(dir_, ignored);
  }

  // Runs the shipped playbook on this machine for one host whose inventory names `serial`;
  // only `node` is a candidate, so no other drive of the machine can be chosen.
  ShellResult Run(const std::string& serial, const std::string& node) {
    std::ofstream(dir_ / "inventory.ini")
        << "localhost vellumar_serials='[\"" << serial << "\"]' vellumar_only_devices='[\"" << node << "\"]'"
        << " vellumar_become=false vellumar_cli=" << VELLUMAR_CLI_PATH
        << " vellumar_signing_key=" << (dir_ / "test.key").string()
        << " vellumar_certificate_dir=" << (dir_ / "on-host").string()
        << " vellumar_fetch_dir=" << (dir_ / "fetched").string() << "\n";
    return Shell("cd " + Quote(dir_.string()) +
                 " && ANSIBLE_NOCOLOR=1 ANSIBLE_LOCAL_TEMP=" + Quote((dir_ / "tmp").string()) +
                 " ANSIBLE_PYTHON_INTERPRETER=/usr/bin/python3 ansible-playbook -c local -i inventory.ini " +
                 Quote(std::string(VELLUMAR_SOURCE_DIR) + "/examples/ansible/erase.yml"));
  }

  fs::path dir_;
};

TEST_F(AnsiblePlaybook, ErasesOnlyTheNamedDriveAndFetchesItsCertificate) {
  VELLUMAR_REQUIRE_ROOT();
  if (Shell("command -v ansible-playbook").ExitCode != 0) {
    GTEST_FAIL() << "ansible-playbook is not installed (Debian package ansible)";
  }
  LoopDevice loop(64 * kMiB);
  ASSERT_TRUE(loop.Ok()) << loop.Error();
  // The organisation's key, so the test leaves no host key behind in /etc/vellumar.
  testing::WriteTestKey((dir_ / "test.key").string());

  // A serial that names no drive fails the host, and nothing is written.
  const ShellResult unknown = Run("NO-SUCH-SERIAL", loop.Node());
  EXPECT_NE(unknown.ExitCode, 0) << unknown.Output;
  EXPECT_EQ(NonZeroBytes(loop.Image()), 64 * kMiB);

  // A loop device reports the serial number 000000.
  const ShellResult run = Run("000000", loop.Node());
  ASSERT_EQ(run.ExitCode, 0) << run.Output;
  EXPECT_EQ(NonZeroBytes(loop.Image()), 0);
  int json = 0;
  int pdf = 0;
  const fs::path fetched = dir_ / "fetched" / "localhost";
  for (const auto& entry : fs::directory_iterator(fetched)) {
    json += entry.path().extension() == ".json" ? 1 : 0;
    pdf += entry.path().extension() == ".pdf" ? 1 : 0;
    if (entry.path().extension() == ".json") {
      // The certificate checks against the key fetched with it.
      const ShellResult check =
          Shell(std::string(VELLUMAR_CLI_PATH) + " certificate verify " + Quote(entry.path().string()) + " --key " +
                Quote((fetched / "signing-key.pub").string()));
      EXPECT_EQ(check.ExitCode, 0) << check.Output;
    }
  }
  EXPECT_EQ(json, 1);
  EXPECT_EQ(pdf, 1);
}

}  // namespace
}  // namespace vellumar

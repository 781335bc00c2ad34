#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "cli_run.h"
#include "devices/base/units.h"
#include "platform/linux/host/directory_sink.h"
#include "support/loop_device.h"
#include "support/root_env.h"
#include "support/shell.h"
#include "support/temp_folder.h"

namespace vellumar {
namespace {

using testing::LoopDevice;
using testing::Quote;
using testing::RunCli;
using testing::Shell;
using testing::ShellResult;

// A folder of the test's own, removed with everything in it.
struct TempFolder {
  TempFolder() : Path("/tmp/vellumar-cert-" + std::to_string(::getpid())) {
    std::filesystem::remove_all(Path);
    std::filesystem::create_directory(Path);
  }
  ~TempFolder() { std::filesystem::remove_all(Path); }
  std::string Only(const std::string& extension) const {
    std::string found;
    for (const auto& entry : std::filesystem::directory_iterator(Path)) {
      if (entry.path().extension() == extension) {
        EXPECT_TRUE(found.empty()) << "two " << extension << " files";
        found = entry.path();
      }
    }
    return found;
  }
  std::string Path;
};

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

void FormatVerifyAndCheckAgain(std::int64_t size, const std::string& losetupOptions, std::int64_t sectorSize) {
  LoopDevice loop(size, losetupOptions);
  ASSERT_TRUE(loop.Ok()) << loop.Error();
  const TempFolder folder;
  const testing::TempFolder keys;
  const report::SigningKey key = testing::WriteTestKey(keys.Path + "/test.key");
  const ShellResult run =
      RunCli("format " + Quote(loop.Node()) + " --yes --agree --verify full --certificate " + Quote(folder.Path) +
             " --operator 'Test Operator' --signing-key " + Quote(keys.Path + "/test.key"));
  ASSERT_EQ(run.ExitCode, 0) << run.Output;
  const std::string passed = "Verification passed: " + std::to_string(size / 1'000'000) + ",";
  const auto complete = run.Output.find("Low-level format is complete.");
  const auto verifying = run.Output.find("Verifying (full)...");
  const auto remember = run.Output.find("Remember to create new partitions.");
  EXPECT_LT(complete, verifying);
  EXPECT_LT(run.Output.find(passed, verifying), remember) << run.Output;
  const std::string json = ReadAll(folder.Only(".json"));
  EXPECT_NE(json.find("\"logical_sector_size\": " + std::to_string(sectorSize)), std::string::npos);
  EXPECT_NE(json.find("\"result\": \"passed\""), std::string::npos);
  EXPECT_NE(json.find("\"status\": \"not checked\""), std::string::npos);  // a loop device answers no ATA
  EXPECT_FALSE(folder.Only(".pdf").empty());
  testing::WriteBytes(keys.Path + "/test.pub", report::PublicKeyText(key.Public) + "\n");
  const ShellResult signature =
      RunCli("certificate verify " + Quote(folder.Only(".json")) + " --key " + Quote(keys.Path + "/test.pub"));
  EXPECT_EQ(signature.ExitCode, 0) << signature.Output;

  const ShellResult sample = RunCli("verify " + Quote(loop.Node()) + " --sample");
  EXPECT_EQ(sample.ExitCode, 0) << sample.Output;
  EXPECT_NE(sample.Output.find("Verifying (sample, seed "), std::string::npos);

  // One stray byte near the end, written through the test's own loop node.
  const std::int64_t offset = size - 3 * sectorSize + 17;
  ASSERT_EQ(Shell("printf x | dd of=" + Quote(loop.Node()) + " bs=1 seek=" + std::to_string(offset) +
                  " conv=notrunc,fsync status=none")
                .ExitCode,
            0);
  const ShellResult full = RunCli("verify " + Quote(loop.Node()) + " --full");
  EXPECT_EQ(full.ExitCode, 6) << full.Output;
  const std::int64_t lba = size / sectorSize - 3;
  EXPECT_NE(full.Output.find(" (LBA " + std::to_string(lba).insert(std::to_string(lba).size() - 3, ",") +
                             "); 1 sector differs."),
            std::string::npos)
      << full.Output;
  EXPECT_EQ(RunCli("verify " + Quote(loop.Node()) + " --serial NOT-THIS-ONE").ExitCode, 4);
}

TEST(VerifyLoopDevice, FormatVerifyFullThenVerifySampleWith512ByteSectors) {
  VELLUMAR_REQUIRE_ROOT();
  FormatVerifyAndCheckAgain(100 * kMiB, "", 512);
}

TEST(VerifyLoopDevice, FormatVerifyFullThenVerifySampleWith4096ByteSectors) {
  VELLUMAR_REQUIRE_ROOT();
  FormatVerifyAndCheckAgain(260 * kMiB, "--sector-size 4096", 4096);
}

TEST(CertificateFolder, FilesWrittenAsRootForAUserBelongToThatUser) {
  VELLUMAR_REQUIRE_ROOT();
  const TempFolder folder;
  std::string error;
  const std::unique_ptr<platform::DirectorySink> sink = platform::DirectorySink::Open(folder.Path, error);
  ASSERT_NE(sink, nullptr) << error;
  sink->SetOwner(65534, 65534);
  ASSERT_TRUE(sink->WriteFiles({{"record.json", "{}"}}, error)) << error;
  struct stat info {};
  ASSERT_EQ(::stat((folder.Path + "/record.json").c_str(), &info), 0);
  EXPECT_EQ(info.st_uid, 65534U);
  EXPECT_EQ(info.st_gid, 65534U);
  // A file of that name is never replaced, and a link planted there is never followed.
  EXPECT_FALSE(sink->WriteFiles({{"record.json", "{}"}}, error));
  std::filesystem::create_symlink("/etc/vellumar-must-not-exist", folder.Path + "/planted.json");
  EXPECT_FALSE(sink->WriteFiles({{"planted.json", "{}"}}, error));
  EXPECT_FALSE(std::filesystem::exists("/etc/vellumar-must-not-exist"));
}

}  // namespace
}  // namespace vellumar

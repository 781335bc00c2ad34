#include <gtest/gtest.h>
#include <sys/statvfs.h>

#include <filesystem>
#include <string>

#include "cli_run.h"
#include "devices/base/units.h"
#include "platform/linux/host/directory_sink.h"
#include "report/certificate_files.h"
#include "support/loop_device.h"
#include "support/root_env.h"
#include "support/shell.h"
#include "support/temp_folder.h"

namespace vellumar {
namespace {

using testing::MountGuard;
using testing::Quote;

std::vector<std::string> Entries(const std::string& folder) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    names.push_back(entry.path().filename());
  }
  return names;
}

// A read-only folder is found out while the drive is still whole, not after the erase.
TEST(CertificateFolderRoot, AReadOnlyFolderIsRefusedBeforeAnythingIsErased) {
  VELLUMAR_REQUIRE_ROOT();
  const testing::TempFolder temp;
  testing::WriteTestKey(temp.Path + "/test.key");
  const std::string image = temp.Path + "/disk.img";
  testing::WriteBytes(image, std::string(40 * kMiB, '\x5A'));
  const MountGuard readOnly("tmpfs", "-t tmpfs -o ro,size=1m");
  ASSERT_TRUE(readOnly.Ok());
  const testing::ShellResult run =
      testing::RunCli("format " + Quote(image) + " --yes --agree --certificate " + Quote(readOnly.Point()) +
                      " --signing-key " + Quote(temp.Path + "/test.key"));
  EXPECT_EQ(run.ExitCode, 5) << run.Output;
  EXPECT_NE(run.Output.find("Read-only file system; nothing was touched."), std::string::npos) << run.Output;
  EXPECT_EQ(testing::NonZeroBytes(image), 40 * kMiB);
}

// Writes a certificate into `folder`, which has room for its JSON (a few KiB) but not for its
// PDF (tens of KiB): it fails, and the folder holds what it held before.
void FillsUpAndKeepsNothing(const std::string& folder) {
  const testing::TempFolder temp;
  const report::SigningKey key = testing::WriteTestKey(temp.Path + "/test.key");
  ErasureCertificate certificate;
  certificate.Drive.Serial = "FULL-1";
  certificate.Log.assign(200, "12/08/26 14:30:05   Formatting...");
  const std::vector<std::string> before = Entries(folder);
  std::string error;
  std::unique_ptr<platform::DirectorySink> sink = platform::DirectorySink::Open(folder, error);
  ASSERT_NE(sink, nullptr) << error;
  EXPECT_EQ(report::WriteCertificateFiles(certificate, "FULL-1-T", key, *sink, error), "");
  EXPECT_NE(error.find("No space left on device"), std::string::npos) << error;
  EXPECT_EQ(Entries(folder), before);
}

// Files made unnamed and linked at the end.
TEST(CertificateFolderRoot, ATmpfsThatFillsUpKeepsNoFileOfTheCertificate) {
  VELLUMAR_REQUIRE_ROOT();
  const MountGuard tmpfs("tmpfs", "-t tmpfs -o size=16k,mode=0755");
  ASSERT_TRUE(tmpfs.Ok());
  FillsUpAndKeepsNothing(tmpfs.Point());
}

// A file system without unnamed files (a USB stick's vfat): files made under their names and
// removed again.
TEST(CertificateFolderRoot, AVfatStickThatFillsUpKeepsNoFileOfTheCertificate) {
  VELLUMAR_REQUIRE_ROOT();
  if (testing::Shell("grep -qw vfat /proc/filesystems || modprobe vfat").ExitCode != 0) {
    GTEST_SKIP() << "this kernel has no vfat";
  }
  testing::LoopDevice stick(4 * kMiB);
  ASSERT_TRUE(stick.Ok()) << stick.Error();
  ASSERT_EQ(testing::Shell("mkfs.vfat " + Quote(stick.Node())).ExitCode, 0);
  const MountGuard vfat(stick.Node());
  ASSERT_TRUE(vfat.Ok());
  struct statvfs space {};
  ASSERT_EQ(::statvfs(vfat.Point().c_str(), &space), 0);
  testing::WriteBytes(vfat.Point() + "/filler", std::string(space.f_bavail * space.f_frsize - 16UL * 1024UL, 'f'));
  FillsUpAndKeepsNothing(vfat.Point());
}

}  // namespace
}  // namespace vellumar

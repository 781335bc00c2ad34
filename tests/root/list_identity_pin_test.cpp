#include <gtest/gtest.h>

#include <iostream>
#include <sstream>
#include <string>

#include "cli/drive_argument.h"
#include "cli/drive_catalogue.h"
#include "devices/base/drive_record.h"
#include "devices/base/units.h"
#include "platform/linux/host/system_clock.h"
#include "platform/linux/io/format_target.h"
#include "platform/linux/sysfs/sysfs_disks.h"
#include "support/loop_device.h"
#include "support/root_env.h"
#include "support/shell.h"

namespace vellumar {
namespace {

using testing::LoopDevice;
using testing::Quote;
using testing::Shell;

std::string KernelName(const std::string& node) { return node.substr(node.find_last_of('/') + 1); }

class ListIdentityTest : public ::testing::Test {
 protected:
  ListIdentityTest() : env_{in_, out_, err_} {}

  std::istringstream in_;
  std::ostringstream out_;
  std::ostringstream err_;
  cli::CliEnvironment env_;
};

TEST_F(ListIdentityTest, CatalogueRowAndNodeResolveToTheSameIdentifiedDrive) {
  VELLUMAR_REQUIRE_ROOT();
  LoopDevice loop(80 * kMiB);
  ASSERT_TRUE(loop.Ok()) << loop.Error();

  platform::SystemClock clock;
  LogSinks logs(clock, LocaleSettings{});
  const cli::CliCatalogue loaded = cli::LoadCatalogue(env_, logs, {});
  ASSERT_TRUE(loaded.Result.Ok) << loaded.Result.FatalMessage;
  std::int64_t row = 0;
  for (std::int64_t slot = 1; slot <= loaded.Catalogue.DeviceCount; ++slot) {
    if (loaded.Catalogue.DeviceTable(slot).DevicePath == loop.Node()) {
      row = slot;
    }
  }
  ASSERT_NE(row, 0) << "the loop disk is catalogued";
  const TDeviceTable& listed = loaded.Catalogue.DeviceTable(row);
  const auto disks = platform::ListCandidateDisks("/sys");
  EXPECT_EQ(disks.at(listed.DeviceNumber), KernelName(loop.Node()));
  EXPECT_EQ(BusTypeName(listed.IdentifyData.BusType), "FBVIRTUAL");
  EXPECT_EQ(listed.IdentifyData.LBA, 80 * kMiB / 512);
  EXPECT_EQ(listed.IdentifyData.IsIDESlave, 0);

  cli::ResolvedDrive byNode;
  std::string error;
  ASSERT_TRUE(cli::ResolveDrive(loop.Node(), env_, byNode, error)) << error;
  EXPECT_EQ(byNode.Entry.DeviceNumber, listed.DeviceNumber);
  EXPECT_EQ(byNode.Entry.IdentifyData.Model, "Storage Device");
  EXPECT_EQ(byNode.Entry.IdentifyData.SN, "000000");
  EXPECT_EQ(byNode.Pin.SizeBytes, 80 * kMiB);

  cli::ResolvedDrive byRow;
  ASSERT_TRUE(cli::ResolveDrive(std::to_string(row), env_, byRow, error)) << error;
  EXPECT_EQ(byRow.Entry.DevicePath, loop.Node());
  EXPECT_EQ(byRow.Pin.Rdev, byNode.Pin.Rdev);
  EXPECT_NE(cli::OpenResolvedDrive(byRow, env_, error), nullptr) << error;
}

TEST_F(ListIdentityTest, ChangedDriveIsRefusedForReportsAndForTheRun) {
  VELLUMAR_REQUIRE_ROOT();
  LoopDevice loop(80 * kMiB);
  ASSERT_TRUE(loop.Ok()) << loop.Error();
  cli::ResolvedDrive drive;
  std::string error;
  ASSERT_TRUE(cli::ResolveDrive(loop.Node(), env_, drive, error)) << error;

  // A serial other than the listed one: the run must not touch the disk.
  platform::PinnedIdentity otherSerial = drive.Pin;
  otherSerial.Serial = "ANOTHER";
  platform::LinuxFormatTarget wrongSerial(drive.Entry.DevicePath, "/sys", "/proc", otherSerial);
  EXPECT_EQ(wrongSerial.CheckIdentity(), "the drive's serial number changed since it was listed");
  EXPECT_EQ(wrongSerial.OpenExclusive(), nullptr);
  EXPECT_EQ(wrongSerial.LastFailure(), "the drive's serial number changed since it was listed");

  // The disk grows behind the listed node.
  ASSERT_EQ(Shell("truncate -s 96M " + Quote(loop.Image()) + " && losetup -c " + Quote(loop.Node())).ExitCode, 0);
  EXPECT_EQ(cli::OpenResolvedDrive(drive, env_, error), nullptr);
  EXPECT_EQ(error, "the drive's size changed since it was listed");
  platform::LinuxFormatTarget target(drive.Entry.DevicePath, "/sys", "/proc", drive.Pin);
  EXPECT_EQ(target.OpenExclusive(), nullptr);
  EXPECT_EQ(target.LastFailure(), "the drive's size changed since it was listed");
}

TEST_F(ListIdentityTest, OnlyWholeWritableDisksAreDrives) {
  VELLUMAR_REQUIRE_ROOT();
  const std::string refusal = "not a drive that 'vellumar-cli list' shows (a whole, writable disk)";
  cli::ResolvedDrive drive;
  std::string error;
  {
    LoopDevice readOnly(64 * kMiB, "--read-only");
    ASSERT_TRUE(readOnly.Ok()) << readOnly.Error();
    EXPECT_FALSE(cli::ResolveDrive(readOnly.Node(), env_, drive, error));
    EXPECT_EQ(error, refusal);
  }
  LoopDevice loop(64 * kMiB, "-P");
  ASSERT_TRUE(loop.Ok()) << loop.Error();
  Shell("printf 'label: dos\\n,,L\\n' | sfdisk -q " + Quote(loop.Node()) + " >/dev/null 2>&1");
  const std::string partition = loop.Node() + "p1";
  // Kernels built without partition-table support show no partition to try.
  if (Shell("test -b " + Quote(partition)).ExitCode == 0) {
    EXPECT_FALSE(cli::ResolveDrive(partition, env_, drive, error));
    EXPECT_EQ(error, refusal);
  }
}

}  // namespace
}  // namespace vellumar

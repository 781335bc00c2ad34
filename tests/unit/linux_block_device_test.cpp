#include "platform/linux/io/linux_block_device.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <filesystem>
#include <fstream>
#include <vector>

#include "devices/erase/format_engine.h"
#include "platform/linux/io/errno_map.h"
#include "support/fake_clock.h"
#include "support/log_capture.h"
#include "sysfs_fake_tree.h"

namespace vellumar::platform {
namespace {

namespace fs = std::filesystem;

TEST(MapWriteErrno, NativeErrorsMapOntoTheLogCodes) {
  const std::vector<std::pair<int, std::uint32_t>> cases = {
      {EIO, 1117},  {ENODATA, 1117},  {ENODEV, 55}, {ENXIO, 55}, {ENOENT, 2},  {EROFS, 19}, {EPERM, 19},
      {EACCES, 19}, {ETIMEDOUT, 121}, {EAGAIN, 21}, {EBUSY, 21}, {ENOSPC, 31}, {EINVAL, 31}};
  for (const auto& [error, code] : cases) {
    EXPECT_EQ(MapWriteErrno(error), code) << error;
  }
}

TEST(LinuxBlockDevice, DiskVanishesWhenItsEntryIsGoneOfflineOrANewMedium) {
  vellumar::testing::FakeSysfsTree tree;
  const std::string disk = tree.AddDisk("sdb", "pci0000:00/host1/target1:0:0/1:0:0:0", "8:16");
  vellumar::testing::FakeSysfsTree::Write(disk + "/diskseq", "7\n");
  EXPECT_FALSE(DiskVanished(tree.Sys(), makedev(8, 16), 7));
  for (const auto& [text, vanished] :
       {std::pair{"running\n", false}, std::pair{"offline\n", true}, std::pair{"transport-offline\n", true},
        std::pair{"deleted\n", true}, std::pair{"dead\n", true}}) {
    vellumar::testing::FakeSysfsTree::Write(disk + "/device/state", text);
    EXPECT_EQ(DiskVanished(tree.Sys(), makedev(8, 16), 7), vanished) << text;
  }
  vellumar::testing::FakeSysfsTree::Write(disk + "/device/state", "running\n");
  vellumar::testing::FakeSysfsTree::Write(disk + "/diskseq", "8\n");  // a card swapped in the reader
  EXPECT_TRUE(DiskVanished(tree.Sys(), makedev(8, 16), 7));
  EXPECT_FALSE(DiskVanished(tree.Sys(), makedev(8, 16))) << "without a pinned number nothing is compared";
  EXPECT_TRUE(DiskVanished(tree.Sys(), makedev(8, 32)));
}

TEST(LinuxBlockDevice, DiskGoneMidRunAbortsWithTheUnplugLines) {
  const std::string path = (fs::temp_directory_path() / ("vellumar-gone-" + std::to_string(::getpid()))).string();
  std::ofstream(path, std::ios::binary) << std::string(40 * 1024 * 1024, 'x');
  int error = -1;
  auto device = LinuxBlockDevice::OpenExclusive(path, "/sys", error);
  ASSERT_NE(device, nullptr) << error;
  // Each write advances the steady clock by 400 ms; the disk is gone from the third check on.
  std::int64_t now = 0;
  int checks = 0;
  device->WatchPresence([&checks] { return ++checks >= 3; }, [&now] { return now += 400; });

  vellumar::testing::FakeClock clock;
  vellumar::LogSinks logs(clock, vellumar::LocaleSettings{});
  vellumar::testing::LogCapture capture(logs.BenchMark);
  std::atomic<bool> stop{false};
  vellumar::FormatDisplay display;
  vellumar::FormatObserver observer;
  vellumar::TIdentifyDeviceData drive;
  drive.LBA = 40 * 2048;
  drive.SectorSize = 512;
  vellumar::FormatContext context{*device, clock, logs, stop, display, observer};
  const vellumar::FormatResult result = vellumar::FormatDevice(false, drive, context);
  EXPECT_EQ(result.Outcome, vellumar::FormatOutcome::Terminated);
  const std::vector<std::string> lines = capture.Texts();
  ASSERT_GE(lines.size(), 3U);
  EXPECT_EQ(lines[0].rfind("Format Error occurred at offset ", 0), 0U) << lines[0];
  EXPECT_NE(lines[0].find(":   55 - Media was unplugged"), std::string::npos) << lines[0];
  EXPECT_EQ(lines[1], "Device was unplugged, aborting...");
  EXPECT_EQ(lines.back().rfind("Operation terminated at offset ", 0), 0U);
  EXPECT_EQ(checks, 3) << "asked about once a second, not on every write";
  fs::remove(path);
}

TEST(LinuxBlockDevice, ImageFileIsWrittenAtAbsoluteOffsets) {
  const std::string path = (fs::temp_directory_path() / ("vellumar-image-" + std::to_string(::getpid()))).string();
  std::ofstream(path, std::ios::binary) << std::string(8192, 'x');

  DeviceGeometry geometry;
  ASSERT_TRUE(ReadGeometry(path, geometry));
  EXPECT_TRUE(geometry.IsRegularFile);
  EXPECT_EQ(geometry.SizeBytes, 8192);
  EXPECT_EQ(geometry.LogicalSectorSize, 512);

  int error = -1;
  auto device = LinuxBlockDevice::OpenExclusive(path, "/sys", error);
  ASSERT_NE(device, nullptr) << error;
  EXPECT_EQ(error, 0);
  alignas(4096) static std::uint8_t zeros[4096] = {};
  EXPECT_EQ(device->Seek(4096), 4096);
  const WriteOutcome outcome = device->Write(zeros, 4096);
  EXPECT_EQ(outcome.Written, 4096);
  EXPECT_EQ(device->Flush(), 0U);
  EXPECT_EQ(device->Seek(-1), -1);
  device.reset();

  std::ifstream in(path, std::ios::binary);
  const std::string content((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_EQ(content, std::string(4096, 'x') + std::string(4096, '\0'));
  fs::remove(path);
}

TEST(LinuxBlockDevice, MissingNodeReportsItsErrno) {
  int error = 0;
  EXPECT_EQ(LinuxBlockDevice::OpenExclusive("/nonexistent/vellumar", "/sys", error), nullptr);
  EXPECT_EQ(error, ENOENT);
  DeviceGeometry geometry;
  EXPECT_FALSE(ReadGeometry("/nonexistent/vellumar", geometry));
}

TEST(LinuxBlockDevice, CharacterDevicesAreNotDrives) {
  DeviceGeometry geometry;
  EXPECT_FALSE(ReadGeometry("/dev/null", geometry));
  EXPECT_EQ(errno, ENOTBLK);
}

}  // namespace
}  // namespace vellumar::platform

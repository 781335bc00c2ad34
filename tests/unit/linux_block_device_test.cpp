#include "platform/linux/linux_block_device.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <vector>

#include "platform/linux/errno_map.h"
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

TEST(LinuxBlockDevice, DiskVanishesWhenItsEntryIsGoneOrOffline) {
  vellumar::testing::FakeSysfsTree tree;
  const std::string state = tree.AddDisk("sdb", "pci0000:00/host1/target1:0:0/1:0:0:0", "8:16") + "/device/state";
  EXPECT_FALSE(DiskVanished(tree.Sys(), makedev(8, 16)));
  for (const auto& [text, vanished] : {std::pair{"running\n", false}, std::pair{"offline\n", true}}) {
    vellumar::testing::FakeSysfsTree::Write(state, text);
    EXPECT_EQ(DiskVanished(tree.Sys(), makedev(8, 16)), vanished) << text;
  }
  EXPECT_TRUE(DiskVanished(tree.Sys(), makedev(8, 32)));
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

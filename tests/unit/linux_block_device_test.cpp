#include "platform/linux/linux_block_device.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <vector>

#include "platform/linux/errno_map.h"

namespace vellumar::platform {
namespace {

namespace fs = std::filesystem;

TEST(MapWriteErrno, NativeErrorsMapOntoTheLogCodes) {
  EXPECT_EQ(MapWriteErrno(EIO), 1117U);
  EXPECT_EQ(MapWriteErrno(ENODATA), 1117U);
  EXPECT_EQ(MapWriteErrno(ENODEV), 55U);
  EXPECT_EQ(MapWriteErrno(ENXIO), 55U);
  EXPECT_EQ(MapWriteErrno(ENOENT), 2U);
  EXPECT_EQ(MapWriteErrno(EROFS), 19U);
  EXPECT_EQ(MapWriteErrno(EPERM), 19U);
  EXPECT_EQ(MapWriteErrno(EACCES), 19U);
  EXPECT_EQ(MapWriteErrno(ETIMEDOUT), 121U);
  EXPECT_EQ(MapWriteErrno(EAGAIN), 21U);
  EXPECT_EQ(MapWriteErrno(EBUSY), 21U);
  EXPECT_EQ(MapWriteErrno(ENOSPC), 31U);
  EXPECT_EQ(MapWriteErrno(EINVAL), 31U);
}

class FakeSysfs : public ::testing::Test {
 protected:
  void SetUp() override {
    root_ = fs::temp_directory_path() / ("vellumar-sysfs-" + std::to_string(::getpid()));
    fs::create_directories(root_ / "dev/block/8:16/device");
  }
  void TearDown() override { fs::remove_all(root_); }
  fs::path root_;
};

TEST_F(FakeSysfs, DiskVanishesWhenItsEntryIsGoneOrOffline) {
  const dev_t disk = makedev(8, 16);
  EXPECT_FALSE(DiskVanished(root_.string(), disk));
  std::ofstream(root_ / "dev/block/8:16/device/state") << "running\n";
  EXPECT_FALSE(DiskVanished(root_.string(), disk));
  std::ofstream(root_ / "dev/block/8:16/device/state") << "offline\n";
  EXPECT_TRUE(DiskVanished(root_.string(), disk));
  EXPECT_TRUE(DiskVanished(root_.string(), makedev(8, 32)));
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

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "platform/linux/io/drive_handle.h"

namespace vellumar::platform {
namespace {

// Image files stand in for disks: their identity is the file (device and inode) and its size.
class DriveHandleTest : public ::testing::Test {
 protected:
  DriveHandleTest() : path_("/tmp/vellumar-handle-" + std::to_string(::getpid()) + ".img") { Make(path_, 4096); }
  ~DriveHandleTest() override { std::remove(path_.c_str()); }

  static void Make(const std::string& path, std::size_t size) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << std::string(size, 'x');
  }

  std::string path_;
};

TEST_F(DriveHandleTest, OpensTheDriveThatWasPinned) {
  PinnedIdentity pin;
  std::string error;
  ASSERT_TRUE(ReadIdentity(path_, pin, error)) << error;
  EXPECT_TRUE(pin.IsFile);
  EXPECT_EQ(pin.SizeBytes, 4096);
  const auto handle = DriveHandle::Open(path_, pin, "/sys", error);
  ASSERT_NE(handle, nullptr) << error;
  EXPECT_GE(handle->Descriptor(), 0);
  EXPECT_EQ(::write(handle->Descriptor(), "y", 1), 1) << "the handle is writable";
}

TEST_F(DriveHandleTest, RefusesWhenTheNodeNamesAnotherDrive) {
  PinnedIdentity pin;
  std::string error;
  ASSERT_TRUE(ReadIdentity(path_, pin, error));
  const std::string other = path_ + ".other";
  Make(other, 4096);
  std::filesystem::rename(other, path_);  // same name and size, another file
  EXPECT_EQ(DriveHandle::Open(path_, pin, "/sys", error), nullptr);
  EXPECT_EQ(error, "the device node no longer names the drive that was listed");
}

}  // namespace
}  // namespace vellumar::platform

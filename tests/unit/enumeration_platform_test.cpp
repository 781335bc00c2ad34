#include <gtest/gtest.h>

#include <string>

#include "platform/linux/sysfs/linux_platform_info.h"
#include "sysfs_fake_tree.h"

namespace vellumar::platform {
namespace {

TEST(PlatformLine, KernelVersionNumbers) {
  EXPECT_EQ(KernelVersionNumbers("6.1.0-18-amd64"), "6.1.0");
  EXPECT_EQ(KernelVersionNumbers("6.18.44-fc-v1300"), "6.18.44");
  EXPECT_EQ(KernelVersionNumbers("5.15.0"), "5.15.0");
  EXPECT_EQ(KernelVersionNumbers("4.4.-rc1"), "4.4");
}

TEST(PlatformLine, DistributionName) {
  EXPECT_EQ(PrettyNameOf("NAME=\"Debian\"\nPRETTY_NAME=\"Debian GNU/Linux 12 (bookworm)\"\n"),
            "Debian GNU/Linux 12 (bookworm)");
  EXPECT_EQ(PrettyNameOf("PRETTY_NAME='Quoted \\\"One\\\"'\n"), "Quoted \"One\"");
  EXPECT_EQ(PrettyNameOf("PRETTY_NAME=Plain\n"), "Plain");
  EXPECT_EQ(PrettyNameOf("NAME=x\n"), "");
}

TEST(PlatformLine, WordWidthIsTheSystemsOwn) {
  for (const char* machine : {"x86_64", "aarch64", "ppc64le", "s390x", "riscv64"}) {
    EXPECT_TRUE(IsSixtyFourBitMachine(machine)) << machine;
  }
  for (const char* machine : {"i686", "armv7l", "s390"}) {
    EXPECT_FALSE(IsSixtyFourBitMachine(machine)) << machine;
  }
}

TEST(PlatformLine, DescriptionAndGate) {
  vellumar::testing::FakeSysfsTree tree;
  const std::string release = tree.Proc() + "/os-release";
  vellumar::testing::FakeSysfsTree::Write(release, "PRETTY_NAME=\"Test Linux 1\"\n");
  LinuxPlatformInfo info(tree.Sys(), tree.Proc(), {tree.Proc() + "/missing", release});
  const std::string description = info.PlatformDescription();
  EXPECT_NE(description.find("   Test Linux 1  ("), std::string::npos) << description;
  EXPECT_TRUE(info.DeviceInformationReachable());

  LinuxPlatformInfo without(tree.Sys() + "/nowhere", tree.Proc());
  EXPECT_FALSE(without.DeviceInformationReachable());
}

}  // namespace
}  // namespace vellumar::platform

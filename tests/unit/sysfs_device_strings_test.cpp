#include "platform/linux/sysfs/sysfs_device_strings.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "ata_test_support.h"
#include "devices/base/drive_record.h"
#include "devices/base/text_format.h"
#include "platform/linux/sysfs/linux_storage_facts.h"
#include "sysfs_fake_tree.h"

namespace vellumar::platform {
namespace {

using vellumar::testing::FakeSysfsTree;

std::vector<std::uint8_t> Identify(const std::string& model, const std::string& firmware, const std::string& serial) {
  vellumar::atatest::SectorBuilder id;
  id.Text(10, 10, serial).Text(23, 4, firmware).Text(27, 20, model);
  return {id.Bytes().begin(), id.Bytes().end()};
}

// The strings as the identification reads them back out of the synthesised descriptor, as
// "vendor|product|revision|serial", with "|removable" for removable media.
std::string DescriptorOf(const FakeSysfsTree& tree, const std::string& disk) {
  vellumar::DescriptorBuffer buffer{};
  EXPECT_TRUE(LinuxStorageFacts(-1, false, tree.Sys(), disk).Device(buffer).Ok);
  const vellumar::DeviceDescriptorHeader header = vellumar::ParseDeviceDescriptorHeader(buffer);
  const auto text = [&](std::uint32_t offset) { return vellumar::DescriptorString(buffer, offset, header.Size); };
  return text(header.VendorIdOffset) + "|" + text(header.ProductIdOffset) + "|" + text(header.ProductRevisionOffset) +
         "|" + vellumar::TrimText(vellumar::SwapSerialPairs(text(header.SerialNumberOffset))) +
         (header.RemovableMedia ? "|removable" : "");
}

constexpr const char* kSataParent = "pci0000:00/0000:00:1f.2/ata3/host2/target2:0:0/2:0:0:0";

class DeviceStringsTest : public ::testing::Test {
 protected:
  std::string AddLibataDisk() {
    const std::string disk = tree_.AddDisk("sda", kSataParent, "8:0");
    // What sysfs itself shows for libata disks: the product cut to 16 characters, the vendor ATA.
    FakeSysfsTree::Write(disk + "/device/vendor", "ATA     \n");
    FakeSysfsTree::Write(disk + "/device/model", "RIG AHCI-SATA DI\n");
    FakeSysfsTree::Write(disk + "/device/rev", "3.03\n");
    return disk;
  }

  FakeSysfsTree tree_;
};

TEST_F(DeviceStringsTest, LibataDiskTakesItsStringsFromTheAtaInformationPage) {
  const std::string disk = AddLibataDisk();
  EXPECT_EQ(DescriptorOf(tree_, "sda"), "ATA|RIG AHCI-SATA DI|3.03|") << "without IDENTIFY data, the SCSI strings";

  std::vector<std::uint8_t> page(60, 0);
  page[1] = 0x89;
  page[56] = 0xEC;
  const std::vector<std::uint8_t> identify = Identify("RIG AHCI-SATA DISK MODEL 0003", "SAFW3.03", "RIGSA0003");
  page.insert(page.end(), identify.begin(), identify.end());
  FakeSysfsTree::WriteBytes(disk + "/device/vpd_pg89", page);

  // An odd-length serial comes back whole.
  EXPECT_EQ(DescriptorOf(tree_, "sda"), "|RIG AHCI-SATA DISK MODEL 0003|SAFW3.03|RIGSA0003");

  // A page of another code, or one that carries IDENTIFY PACKET DEVICE data, is passed over.
  for (const auto& [at, value] : {std::pair<std::size_t, std::uint8_t>{1, 0x80}, {56, 0xA1}}) {
    std::vector<std::uint8_t> other = page;
    other[at] = value;
    FakeSysfsTree::WriteBytes(disk + "/device/vpd_pg89", other);
    EXPECT_EQ(DescriptorOf(tree_, "sda"), "ATA|RIG AHCI-SATA DI|3.03|") << at;
  }
}

TEST_F(DeviceStringsTest, LibataDiskFallsBackToTheAtaDeviceIdentifyWords) {
  AddLibataDisk();
  const std::vector<std::uint8_t> identify = Identify("RIG PATA DISK", "PMFW1.01", "RIGPM0001");
  std::string words;
  for (std::size_t w = 0; w < 256; ++w) {
    char word[8];
    std::snprintf(word, sizeof word, "%04x", identify[2 * w] | (identify[2 * w + 1] << 8U));
    words += word;
    words += (w % 8 == 7) ? "\n" : " ";
  }
  FakeSysfsTree::Write(tree_.Sys() + "/class/ata_device/dev3.0/id", words);

  EXPECT_EQ(DescriptorOf(tree_, "sda"), "|RIG PATA DISK|PMFW1.01|RIGPM0001");
}

TEST_F(DeviceStringsTest, ScsiDiskSerialComesFromTheUnitSerialNumberPage) {
  const std::string disk = tree_.AddDisk("sdb", "pci0000:00/0000:00:10.0/host2/target2:0:0/2:0:0:0", "8:16");
  FakeSysfsTree::Write(disk + "/device/vendor", "SEAGATE \n");
  FakeSysfsTree::Write(disk + "/device/model", "ST4000NM0023    \n");
  FakeSysfsTree::Write(disk + "/device/rev", "0004\n");
  FakeSysfsTree::Write(disk + "/removable", "1\n");
  const std::string serial = "  Z1Z2Z3Z4";
  std::vector<std::uint8_t> page = {0x00, 0x80, 0x00, static_cast<std::uint8_t>(serial.size())};
  page.insert(page.end(), serial.begin(), serial.end());
  FakeSysfsTree::WriteBytes(disk + "/device/vpd_pg80", page);

  EXPECT_EQ(DescriptorOf(tree_, "sdb"), "SEAGATE|ST4000NM0023|0004|Z1Z2Z3Z4|removable");
}

TEST_F(DeviceStringsTest, UsbDiskWithoutSerialPageUsesTheUsbSerial) {
  const std::string usb = "pci0000:00/0000:00:14.0/usb2/2-1";
  tree_.AddDisk("sdc", usb + "/2-1:1.0/host6/target6:0:0/6:0:0:0", "8:32");
  FakeSysfsTree::Write(tree_.Sys() + "/devices/" + usb + "/idVendor", "0781\n");
  FakeSysfsTree::Write(tree_.Sys() + "/devices/" + usb + "/serial", "4C530001230\n");
  EXPECT_EQ(DescriptorOf(tree_, "sdc"), "|||4C530001230");
}

TEST_F(DeviceStringsTest, NvmeAndVirtioDisks) {
  const std::string controller = "pci0000:00/0000:00:1d.0/0000:3d:00.0/nvme/nvme0";
  tree_.AddDisk("nvme0n1", controller, "259:0");
  FakeSysfsTree::Write(tree_.Sys() + "/devices/" + controller + "/model", "QEMU NVMe Ctrl                \n");
  FakeSysfsTree::Write(tree_.Sys() + "/devices/" + controller + "/firmware_rev", "8.0.0   \n");
  FakeSysfsTree::Write(tree_.Sys() + "/devices/" + controller + "/serial", "RIGNV0004           \n");
  EXPECT_EQ(DescriptorOf(tree_, "nvme0n1"), "|QEMU NVMe Ctrl|8.0.0|RIGNV0004");

  const std::string vda = tree_.AddDisk("vda", "pci0000:00/0000:00:04.0/virtio1", "254:0");
  FakeSysfsTree::Write(vda + "/serial", "RIGVB0005\n");
  EXPECT_EQ(DescriptorOf(tree_, "vda"), "|||RIGVB0005");
}

TEST_F(DeviceStringsTest, VanishedDiskFailsTheDeviceRequest) {
  vellumar::DescriptorBuffer buffer{};
  const vellumar::RequestStatus status = LinuxStorageFacts(-1, false, tree_.Sys(), "sdq").Device(buffer);
  EXPECT_FALSE(status.Ok);
  EXPECT_NE(status.ErrorCode, 0U);
}

}  // namespace
}  // namespace vellumar::platform

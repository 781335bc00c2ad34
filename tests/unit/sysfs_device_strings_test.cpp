#include "platform/linux/sysfs_device_strings.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "devices/drive_record.h"
#include "devices/text_format.h"
#include "platform/linux/linux_storage_facts.h"
#include "sysfs_fake_tree.h"

namespace vellumar::platform {
namespace {

using vellumar::testing::FakeSysfsTree;

// Puts an ATA string into IDENTIFY data: padded with blanks, high byte first in every word.
void PutAtaString(std::vector<std::uint8_t>& identify, std::size_t firstWord, std::size_t words, std::string text) {
  text.resize(words * 2, ' ');
  for (std::size_t i = 0; i < text.size(); ++i) {
    identify[2 * firstWord + (i ^ 1U)] = static_cast<std::uint8_t>(text[i]);
  }
}

std::vector<std::uint8_t> Identify(const std::string& model, const std::string& firmware, const std::string& serial) {
  std::vector<std::uint8_t> identify(512, 0);
  PutAtaString(identify, 10, 10, serial);
  PutAtaString(identify, 23, 4, firmware);
  PutAtaString(identify, 27, 20, model);
  return identify;
}

// The strings as the identification reads them back out of the synthesised descriptor.
struct ReadBack {
  std::string Vendor;
  std::string Product;
  std::string Revision;
  std::string Serial;
  bool Removable = false;
};

ReadBack DescriptorOf(const FakeSysfsTree& tree, const std::string& disk) {
  LinuxStorageFacts facts(-1, false, tree.Sys(), disk);
  vellumar::DescriptorBuffer buffer{};
  EXPECT_TRUE(facts.Device(buffer).Ok);
  const vellumar::DeviceDescriptorHeader header = vellumar::ParseDeviceDescriptorHeader(buffer);
  ReadBack back;
  back.Vendor = vellumar::DescriptorString(buffer, header.VendorIdOffset, header.Size);
  back.Product = vellumar::DescriptorString(buffer, header.ProductIdOffset, header.Size);
  back.Revision = vellumar::DescriptorString(buffer, header.ProductRevisionOffset, header.Size);
  back.Serial = vellumar::TrimText(
      vellumar::SwapSerialPairs(vellumar::DescriptorString(buffer, header.SerialNumberOffset, header.Size)));
  back.Removable = header.RemovableMedia;
  return back;
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
  std::vector<std::uint8_t> page(60, 0);
  page[1] = 0x89;
  const std::vector<std::uint8_t> identify = Identify("RIG AHCI-SATA DISK MODEL 0003", "SAFW3.03", "RIGSA0003");
  page.insert(page.end(), identify.begin(), identify.end());
  FakeSysfsTree::WriteBytes(disk + "/device/vpd_pg89", page);

  const ReadBack back = DescriptorOf(tree_, "sda");
  EXPECT_EQ(back.Vendor, "");
  EXPECT_EQ(back.Product, "RIG AHCI-SATA DISK MODEL 0003");
  EXPECT_EQ(back.Revision, "SAFW3.03");
  EXPECT_EQ(back.Serial, "RIGSA0003") << "an odd-length serial comes back whole";
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

  const ReadBack back = DescriptorOf(tree_, "sda");
  EXPECT_EQ(back.Product, "RIG PATA DISK");
  EXPECT_EQ(back.Revision, "PMFW1.01");
  EXPECT_EQ(back.Serial, "RIGPM0001");
}

TEST_F(DeviceStringsTest, LibataDiskWithoutIdentifyDataKeepsTheScsiStrings) {
  AddLibataDisk();
  const ReadBack back = DescriptorOf(tree_, "sda");
  EXPECT_EQ(back.Vendor, "ATA");
  EXPECT_EQ(back.Product, "RIG AHCI-SATA DI");
  EXPECT_EQ(back.Revision, "3.03");
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

  const ReadBack back = DescriptorOf(tree_, "sdb");
  EXPECT_EQ(back.Vendor, "SEAGATE");
  EXPECT_EQ(back.Product, "ST4000NM0023");
  EXPECT_EQ(back.Revision, "0004");
  EXPECT_EQ(back.Serial, "Z1Z2Z3Z4");
  EXPECT_TRUE(back.Removable);
}

TEST_F(DeviceStringsTest, UsbDiskWithoutSerialPageUsesTheUsbSerial) {
  const std::string usb = "pci0000:00/0000:00:14.0/usb2/2-1";
  tree_.AddDisk("sdc", usb + "/2-1:1.0/host6/target6:0:0/6:0:0:0", "8:32");
  FakeSysfsTree::Write(tree_.Sys() + "/devices/" + usb + "/idVendor", "0781\n");
  FakeSysfsTree::Write(tree_.Sys() + "/devices/" + usb + "/serial", "4C530001230\n");
  EXPECT_EQ(DescriptorOf(tree_, "sdc").Serial, "4C530001230");
}

TEST_F(DeviceStringsTest, NvmeAndVirtioDisks) {
  const std::string controller = "pci0000:00/0000:00:1d.0/0000:3d:00.0/nvme/nvme0";
  tree_.AddDisk("nvme0n1", controller, "259:0");
  FakeSysfsTree::Write(tree_.Sys() + "/devices/" + controller + "/model", "QEMU NVMe Ctrl                \n");
  FakeSysfsTree::Write(tree_.Sys() + "/devices/" + controller + "/firmware_rev", "8.0.0   \n");
  FakeSysfsTree::Write(tree_.Sys() + "/devices/" + controller + "/serial", "RIGNV0004           \n");
  const ReadBack nvme = DescriptorOf(tree_, "nvme0n1");
  EXPECT_EQ(nvme.Vendor, "");
  EXPECT_EQ(nvme.Product, "QEMU NVMe Ctrl");
  EXPECT_EQ(nvme.Revision, "8.0.0");
  EXPECT_EQ(nvme.Serial, "RIGNV0004");

  const std::string vda = tree_.AddDisk("vda", "pci0000:00/0000:00:04.0/virtio1", "254:0");
  FakeSysfsTree::Write(vda + "/serial", "RIGVB0005\n");
  EXPECT_EQ(DescriptorOf(tree_, "vda").Serial, "RIGVB0005");
}

TEST_F(DeviceStringsTest, VanishedDiskFailsTheDeviceRequest) {
  LinuxStorageFacts facts(-1, false, tree_.Sys(), "sdq");
  vellumar::DescriptorBuffer buffer{};
  const vellumar::RequestStatus status = facts.Device(buffer);
  EXPECT_FALSE(status.Ok);
  EXPECT_NE(status.ErrorCode, 0U);
}

}  // namespace
}  // namespace vellumar::platform

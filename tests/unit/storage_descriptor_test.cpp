#include "devices/catalogue/storage_descriptor.h"

#include <gtest/gtest.h>

#include <string>

#include "devices/base/text_format.h"

namespace vellumar {
namespace {

TEST(StorageDescriptor, BuiltStringsReadBackThroughTheHeader) {
  const DescriptorBuffer buffer = BuildDeviceDescriptor(DeviceStrings{"VEND", "PRODUCT", "REV1", "ABCDE", true, 7});
  const DeviceDescriptorHeader header = ParseDeviceDescriptorHeader(buffer);
  EXPECT_TRUE(header.RemovableMedia);
  EXPECT_EQ(header.VendorIdOffset, kDescriptorStringsAt);
  EXPECT_EQ(DescriptorString(buffer, header.VendorIdOffset, header.Size), "VEND");
  EXPECT_EQ(DescriptorString(buffer, header.ProductIdOffset, header.Size), "PRODUCT");
  EXPECT_EQ(DescriptorString(buffer, header.ProductRevisionOffset, header.Size), "REV1");
  // The serial is stored pair-swapped, padded to an even length.
  EXPECT_EQ(DescriptorString(buffer, header.SerialNumberOffset, header.Size), "BADC E");
  EXPECT_EQ(TrimText(SwapSerialPairs("BADC E")), "ABCDE");
  EXPECT_EQ(header.Size, header.SerialNumberOffset + 7);
  EXPECT_EQ(buffer[kDescriptorBusTypeAt], 7);
}

TEST(StorageDescriptor, OverlongStringsAreCutToTheBuffer) {
  const DescriptorBuffer buffer =
      BuildDeviceDescriptor(DeviceStrings{std::string(300, 'V'), std::string(300, 'P'), "R", "S", false, 0});
  const DeviceDescriptorHeader header = ParseDeviceDescriptorHeader(buffer);
  EXPECT_EQ(DescriptorString(buffer, header.VendorIdOffset, header.Size).size(), 300U);
  EXPECT_EQ(DescriptorString(buffer, header.ProductIdOffset, header.Size).size(), 512U - 40U - 301U - 1U);
  EXPECT_EQ(header.ProductRevisionOffset, 0U);
  EXPECT_LE(header.Size, 512U);
}

TEST(StorageDescriptor, StringBounds) {
  DescriptorBuffer buffer{};
  buffer.fill('A');
  EXPECT_EQ(DescriptorString(buffer, 500, 1000), std::string(12, 'A')) << "ends at the buffer's last byte";
  EXPECT_EQ(DescriptorString(buffer, 100, 50), "") << "no bytes when Size is below the offset";
  EXPECT_EQ(DescriptorString(buffer, 100, 102), "AAA") << "position Size is included";
  buffer[101] = 0;
  EXPECT_EQ(DescriptorString(buffer, 100, 300), "A");
}

}  // namespace
}  // namespace vellumar

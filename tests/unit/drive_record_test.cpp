#include "devices/base/drive_record.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace vellumar {
namespace {

TEST(BusTypeName, KnownUnknownAndOwnCodes) {
  EXPECT_EQ(BusTypeName(4), "IEEE 1394");
  EXPECT_EQ(BusTypeName(15), "FBVIRTUAL");
  EXPECT_EQ(BusTypeName(16), "UNKNOWN");
  EXPECT_EQ(BusTypeName(200), "IMAGE");
  EXPECT_EQ(BusTypeName(201), "FLASH");
  EXPECT_EQ(BusTypeName(-1), "UNKNOWN");
  // Only the low 32 bits take part.
  EXPECT_EQ(BusTypeName((1LL << 32) + 7), "USB");
}

TEST(DeviceCatalogue, SixteenSlotsFifteenDrivesAndRowsMapToSlots) {
  DeviceCatalogue catalogue;
  EXPECT_THROW(catalogue.DeviceTable(0), std::out_of_range);
  EXPECT_THROW(catalogue.DeviceTable(17), std::out_of_range);
  EXPECT_THROW(catalogue.Selected(), std::out_of_range);  // nothing chosen yet
  for (std::uint32_t n = 0; n < 15; ++n) {
    TDeviceTable entry;
    entry.DeviceNumber = n * 2;
    catalogue.Append(entry);
  }
  EXPECT_EQ(catalogue.DeviceCount, 15);
  EXPECT_THROW(catalogue.Append(TDeviceTable{}), std::out_of_range);
  EXPECT_EQ(catalogue.DeviceTable(16).DeviceNumber, 0U);  // slot 16 stays empty

  catalogue.Choose(0);
  EXPECT_EQ(catalogue.SelectedDevice, 1);
  EXPECT_TRUE(catalogue.DeviceChosen);
  catalogue.Choose(4);
  EXPECT_EQ(catalogue.Selected().DeviceNumber, 8U);
  EXPECT_THROW(catalogue.Choose(15), std::out_of_range);
}

}  // namespace
}  // namespace vellumar

#include "devices/ata/hidden_area.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <scsi/sg.h>

#include <cstring>
#include <vector>

#include "platform/linux/ata/sg_ata_lba_query.h"
#include "unit/ata_test_support.h"

namespace vellumar {
namespace {

using ::testing::ElementsAre;

void SetWord(AtaSector& sector, std::size_t word, std::uint16_t value) {
  sector[2 * word] = static_cast<std::uint8_t>(value & 0xFFU);
  sector[2 * word + 1] = static_cast<std::uint8_t>(value >> 8U);
}

// The DEVICE CONFIGURATION IDENTIFY signature and the checksum that makes every byte sum to 0.
void SealDco(AtaSector& sector) {
  sector[510] = 0xA5;
  unsigned sum = 0;
  for (std::size_t i = 0; i < 511; ++i) {
    sum += sector[i];
  }
  sector[511] = static_cast<std::uint8_t>(0x100U - (sum & 0xFFU));
}

AtaSector Identify(bool hpa, bool lba48, bool dco, std::uint64_t sectors) {
  AtaSector sector{};
  SetWord(sector, 82, hpa ? 0x0400 : 0);
  SetWord(sector, 83, static_cast<std::uint16_t>(0x4000 | (lba48 ? 0x0400 : 0) | (dco ? 0x0800 : 0)));
  SetWord(sector, 60, static_cast<std::uint16_t>(sectors & 0xFFFF));
  SetWord(sector, 61, static_cast<std::uint16_t>((sectors >> 16U) & 0xFFFF));
  for (std::size_t i = 0; i < 4; ++i) {
    SetWord(sector, 100 + i, static_cast<std::uint16_t>((sectors >> (16 * i)) & 0xFFFF));
  }
  return sector;
}

// The ATA Status Return descriptor libata sends back for a CK_COND command.
std::vector<std::uint8_t> DescriptorSense(std::uint64_t lba, std::uint8_t status = 0x50) {
  return {0x72,
          0x01,
          0x00,
          0x1D,
          0,
          0,
          0,
          14,
          0x09,
          0x0C,
          0x01,
          0x00,
          0,
          0,
          static_cast<std::uint8_t>(lba >> 24U),
          static_cast<std::uint8_t>(lba),
          static_cast<std::uint8_t>(lba >> 32U),
          static_cast<std::uint8_t>(lba >> 8U),
          static_cast<std::uint8_t>(lba >> 40U),
          static_cast<std::uint8_t>(lba >> 16U),
          0x40,
          status};
}

// Fixed format: error, status, device, count in bytes 3 to 6; LBA (23:0) in 9 to 11.
std::vector<std::uint8_t> FixedSense(std::uint64_t lba, bool upperNonZero = false) {
  return {0xF0,
          0,
          0x01,
          0x00,
          0x50,
          static_cast<std::uint8_t>(0x40U | ((lba >> 24U) & 0x0FU)),
          0,
          10,
          static_cast<std::uint8_t>(upperNonZero ? 0xA0 : 0x00),
          static_cast<std::uint8_t>(lba),
          static_cast<std::uint8_t>(lba >> 8U),
          static_cast<std::uint8_t>(lba >> 16U),
          0x00,
          0x1D};
}

struct Kernel {
  unsigned char Status = 0x02;  // CHECK CONDITION, as CK_COND asks
  std::vector<std::uint8_t> Sense;
  std::vector<std::array<std::uint8_t, 16>> Cdbs;
  platform::IoctlCaller Caller() {
    return [this](int, unsigned long code, void* argument) {
      EXPECT_EQ(code, static_cast<unsigned long>(SG_IO));
      auto* header = static_cast<sg_io_hdr_t*>(argument);
      std::array<std::uint8_t, 16> cdb{};
      std::memcpy(cdb.data(), header->cmdp, cdb.size());
      Cdbs.push_back(cdb);
      header->status = Status;
      const std::size_t n = std::min<std::size_t>(Sense.size(), header->mx_sb_len);
      std::memcpy(header->sbp, Sense.data(), n);
      header->sb_len_wr = static_cast<unsigned char>(n);
      return 0;
    };
  }
};

TEST(HiddenArea, NativeMaxBeyondTheReportedCapacityIsWarnedAbout) {
  struct Case {
    const char* Name;
    AtaSector Identify;
    std::vector<std::uint8_t> Sense;
    HiddenAreaStatus Status;
    std::int64_t Hidden;
    std::uint8_t CdbByte1;  // protocol and EXTEND
    std::uint8_t Command;   // 0 when nothing may be sent
  };
  const std::vector<Case> cases = {
      {"48-bit drive with a host protected area", Identify(true, true, false, 1'000'000), DescriptorSense(2'234'566),
       HiddenAreaStatus::Hidden, 1'234'567, 0x07, 0x27},
      {"48-bit answer above 2^32", Identify(true, true, false, 7'000'000'000), DescriptorSense(6'999'999'999),
       HiddenAreaStatus::None, 0, 0x07, 0x27},
      {"28-bit drive, fixed format, LBA bits 27:24 in the device register", Identify(true, false, false, 20'000'000),
       FixedSense(19'999'999), HiddenAreaStatus::None, 0, 0x06, 0xF8},
      {"no host protected area feature: nothing to ask",
       Identify(false, true, false, 1'000'000),
       {},
       HiddenAreaStatus::None,
       0,
       0,
       0},
      {"fixed format cannot carry a 48-bit answer's upper bytes", Identify(true, true, false, 1'000'000),
       FixedSense(5, true), HiddenAreaStatus::NotChecked, 0, 0x07, 0x27},
      {"the drive reports an error", Identify(true, true, false, 1'000'000), DescriptorSense(2'000'000, 0x51),
       HiddenAreaStatus::NotChecked, 0, 0x07, 0x27},
      {"a corrupt count beyond the signed range", Identify(true, true, false, 0x8000'0000'0000'0000U),
       DescriptorSense(1), HiddenAreaStatus::None, 0, 0x07, 0x27},
  };
  for (const Case& c : cases) {
    Kernel kernel;
    kernel.Sense = c.Sense;
    platform::SgAtaLbaQuery query(3, kernel.Caller());
    atatest::FakeAta ata;
    const HiddenAreaReport report = CheckHiddenArea(c.Identify, 1, query, ata);
    EXPECT_EQ(report.Status, c.Status) << c.Name;
    EXPECT_EQ(report.HpaHiddenSectors, c.Hidden) << c.Name;
    if (c.Command == 0) {
      EXPECT_TRUE(kernel.Cdbs.empty()) << c.Name;
      continue;
    }
    ASSERT_EQ(kernel.Cdbs.size(), 1U) << c.Name;
    EXPECT_EQ(kernel.Cdbs[0][1], c.CdbByte1) << c.Name;
    EXPECT_EQ(kernel.Cdbs[0][2], 0x20) << c.Name;   // CK_COND, no transfer
    EXPECT_EQ(kernel.Cdbs[0][13], 0x50) << c.Name;  // LBA mode, slave
    EXPECT_EQ(kernel.Cdbs[0][14], c.Command) << c.Name;
    if (c.Status == HiddenAreaStatus::NotChecked) {
      EXPECT_FALSE(report.Reason.empty());
    }
  }
  Kernel kernel;
  kernel.Sense = DescriptorSense(2'234'566);
  platform::SgAtaLbaQuery query(3, kernel.Caller());
  atatest::FakeAta ata;
  EXPECT_THAT(HiddenAreaWarnings(CheckHiddenArea(Identify(true, true, false, 1'000'000), 0, query, ata)),
              ElementsAre("Warning: 1,234,567 sectors at the end of this device are hidden by a host protected area "
                          "and will not be erased."));
}

TEST(HiddenArea, DeviceConfigurationOverlayThatHidesCapacityIsReported) {
  Kernel kernel;
  kernel.Sense = DescriptorSense(999'999);
  platform::SgAtaLbaQuery query(3, kernel.Caller());
  atatest::FakeAta ata;
  SetWord(ata.Sector, 3, static_cast<std::uint16_t>(1'499'999 & 0xFFFF));
  SetWord(ata.Sector, 4, static_cast<std::uint16_t>(1'499'999 >> 16U));
  SealDco(ata.Sector);
  const HiddenAreaReport report = CheckHiddenArea(Identify(true, true, true, 1'000'000), 0, query, ata);
  EXPECT_EQ(report.Status, HiddenAreaStatus::Hidden);
  EXPECT_EQ(report.DcoHiddenSectors, 500'000);
  ASSERT_EQ(ata.Calls.size(), 1U);
  EXPECT_EQ(ata.Calls[0].Registers.Command, 0xB1);
  EXPECT_EQ(ata.Calls[0].Registers.Features, 0xC2);
  EXPECT_THAT(HiddenAreaWarnings(report),
              ElementsAre(::testing::AllOf(::testing::HasSubstr("500,000 sectors at the end"),
                                           ::testing::HasSubstr("device configuration overlay"))));
  ata.Sector[511] ^= 1U;  // a sector that fails its checksum says nothing
  EXPECT_EQ(CheckHiddenArea(Identify(true, true, true, 1'000'000), 0, query, ata).Status, HiddenAreaStatus::None);

  // A corrupt maximum at the top of the 64 bits is counted without overflowing.
  for (std::size_t word = 3; word < 7; ++word) {
    SetWord(ata.Sector, word, word == 6 ? 0x7FFF : 0xFFFF);
  }
  SealDco(ata.Sector);
  EXPECT_EQ(CheckHiddenArea(Identify(true, true, true, 1'000'000), 0, query, ata).DcoHiddenSectors,
            INT64_MAX - 1'000'000);
}

}  // namespace
}  // namespace vellumar

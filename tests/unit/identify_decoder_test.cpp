#include "devices/ata/identify_decoder.h"

#include <gtest/gtest.h>

#include "ata_test_support.h"

namespace vellumar {
namespace {

using atatest::SectorBuilder;

T_IDE_PASSPORT Decode(const SectorBuilder& builder) { return DecodeIdePassport(builder.Bytes()); }

TEST(IdentifyText, EmptyFieldsNoBleedingAndLatin1) {
  SectorBuilder id;
  id.Text(27, 20, std::string(40, ' ')).Text(23, 4, "ABCDEFGH").Text(47, 1, "ZZ").Text(10, 10, "  SN 42");
  EXPECT_EQ(Decode(id).name, "");
  EXPECT_EQ(Decode(id).sn, "SN 42");  // inner spaces stay
  EXPECT_EQ(Decode(id).fw, "ABCDEFGH");
  id.Text(27, 20, "Caf\xE9");
  EXPECT_EQ(Decode(id).name, "Caf\xC3\xA9");
}

TEST(IdentifyLba, FortyEightBitCountIsTakenOnlyWhenLarger) {
  SectorBuilder id;
  id.Word(60, 0xFFFF).Word(83, 0x0400).Word(100, 0x1234).Word(101, 0x0010);
  EXPECT_EQ(Decode(id).lbasectors, 0) << "without LBA support nothing is counted";
  id.Word(49, 0x0200).Word(60, 0xFFFF).Word(61, 0x0FFF).Word(83, 0x0400);
  id.Word(100, 0xFFFF).Word(101, 0x0FFF);  // equal counts
  EXPECT_FALSE(Decode(id).lba48support);
  EXPECT_EQ(Decode(id).lbasectors, 268435455);
  id.Word(100, 0x6030).Word(101, 0x3A38).Word(103, 0x8000);  // negative as a signed 64-bit value
  EXPECT_FALSE(Decode(id).lba48support);

  id.Word(103, 0).Word(83, 0);  // feature set not supported
  EXPECT_FALSE(Decode(id).lba48support);
}

TEST(IdentifyFeatures, SmartEnabledOnlyReadWhenSupported) {
  SectorBuilder id;
  id.Word(85, 0x0001);
  EXPECT_FALSE(Decode(id).smartenabled);
  id.Word(82, 0x0401).Word(83, 0x0200).Word(84, 0x0010);
  const T_IDE_PASSPORT p = Decode(id);
  EXPECT_TRUE(p.smartsupport);
  EXPECT_TRUE(p.smartenabled);
  EXPECT_TRUE(p.hpasupport);
  EXPECT_TRUE(p.aamsupport);
  EXPECT_TRUE(p.StreamingSupported);
}

TEST(IdentifyDma, HighestSupportedAndSelectedModes) {
  SectorBuilder id;
  id.Word(88, 0x203F);
  EXPECT_FALSE(Decode(id).dmasupport);  // words 49 and 53 don't vouch for word 88
  id.Word(49, 0x0100).Word(53, 0x0004);
  T_IDE_PASSPORT p = Decode(id);
  EXPECT_TRUE(p.dmasupport);
  EXPECT_EQ(p.dmamodesupport, 5);
  EXPECT_EQ(p.dmamodeselected, 5);
  id.Word(88, 0x0180);  // bit 7 is not a mode; bit 8 is mode 0
  p = Decode(id);
  EXPECT_EQ(p.dmamodesupport, 0);
  EXPECT_EQ(p.dmamodeselected, 0);
}

TEST(IdentifyMisc, QueueDepthBufferAndReadMultiple) {
  SectorBuilder id;
  id.Word(75, 0x001F).Word(21, 0x0200).Word(47, 0x8010);
  const T_IDE_PASSPORT p = Decode(id);
  EXPECT_TRUE(p.QueueSupported);
  EXPECT_EQ(p.buffersize, 262144U);
  EXPECT_EQ(p.readmultiplesectors, 0x10);
  id.Word(75, 0xFFFF);  // the whole word, not only its low five bits
  EXPECT_EQ(Decode(id).QueueDepth, 65535);
}

TEST(IdentifySectorSize, LogicalSectorSizeFromWords106And117) {
  SectorBuilder id;
  EXPECT_EQ(Decode(id).sectorsize, 512);
  id.Word(106, 0xD000);  // bit 15 set: word 106 not valid
  EXPECT_EQ(Decode(id).sectorsize, 512);
  id.Word(106, 0x6000);  // valid, but the logical sector is 256 words
  EXPECT_EQ(Decode(id).sectorsize, 512);
  id.Word(106, 0x5000).Word(117, 0);  // claims a longer sector but gives none
  EXPECT_EQ(Decode(id).sectorsize, 512);
}

}  // namespace
}  // namespace vellumar

#include "devices/catalogue/storage_identification.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "fake_storage_facts.h"
#include "support/fake_clock.h"
#include "support/log_capture.h"

namespace vellumar {
namespace {

using testing::FakeFacts;

class IdentifyTest : public ::testing::Test {
 protected:
  IdentifyTest() : logs_(clock_, LocaleSettings{}), debug_(logs_.Debug) { logs_.DebugMode = true; }

  TIdentifyDeviceData Identify(std::int64_t expected = 0) {
    TIdentifyDeviceData record;
    std::string fatal;
    EXPECT_EQ(IdentifyStorageDevice(facts_, record, logs_, fatal), expected);
    EXPECT_TRUE(fatal.empty()) << fatal;
    return record;
  }

  testing::FakeClock clock_;
  LogSinks logs_;
  testing::LogCapture debug_;
  FakeFacts facts_;
};

TEST_F(IdentifyTest, LogsEveryStepAndFillsTheRecord) {
  const TIdentifyDeviceData id = Identify();
  const std::vector<std::string> texts = debug_.Texts();
  const std::vector<std::string> head(texts.begin(), texts.begin() + 10);
  EXPECT_EQ(head, (std::vector<std::string>{"Getting geometry...", "Done -1", "Sector size = 512",
                                            "Getting disk length...", "Done -1", "Media \"Length\" = 512000000",
                                            "Querying storage property (adapter)...", "Done -1",
                                            "Querying storage property (device)...", "Done -1"}));
  const std::vector<std::string> tail(texts.begin() + 11, texts.end());
  EXPECT_EQ(tail, (std::vector<std::string>{"Parsing data...", "VendorID:  ", "ProductID: DISK MODEL",
                                            "ProductRevision: FW01", "SerialNumber: SN123", "Sectors: 1000000",
                                            "SectorSize: 512", "MaxTransfer: 128"}));
  EXPECT_EQ(id.Model, " DISK MODEL");
  EXPECT_EQ(id.LBA, 1'000'000);
  EXPECT_EQ(id.BusType, kBusSata);
}

TEST_F(IdentifyTest, DumpIsOneEntryOf33LinesWithSixteenBytesEach) {
  facts_.UseRawBuffer = true;
  for (std::size_t i = 0; i < facts_.RawBuffer.size(); ++i) {
    facts_.RawBuffer[i] = static_cast<std::uint8_t>(i);
  }
  Identify();
  const std::string dump = debug_.Texts()[10];
  std::vector<std::string> lines;
  std::size_t start = 0;
  for (std::size_t end = dump.find('\n'); end != std::string::npos; end = dump.find('\n', start)) {
    lines.push_back(dump.substr(start, end - start));
    start = end + 1;
  }
  EXPECT_EQ(start, dump.size()) << "the dump ends with a line break";
  ASSERT_EQ(lines.size(), 33U);
  EXPECT_EQ(lines[0], "Buffer: 512 bytes");
  EXPECT_EQ(lines[1], " 00 01 02 03 04 05 06 07 08 09 0A 0B 0C 0D 0E 0F");
  EXPECT_EQ(lines[32], " F0 F1 F2 F3 F4 F5 F6 F7 F8 F9 FA FB FC FD FE FF");
}

TEST_F(IdentifyTest, FailedAdapterQueryUsesTheSubstituteDescriptor) {
  facts_.AdapterOk = false;
  const TIdentifyDeviceData id = Identify();
  EXPECT_EQ(debug_.Texts()[7], "Skipped 0");
  EXPECT_EQ(id.BusType, kBusFlash);
  EXPECT_EQ(id.MaximumSectorsTransfer, 128);
  EXPECT_EQ(facts_.SlaveQueries, 0);
}

TEST_F(IdentifyTest, SectorSizesAndTransferCap) {
  facts_.BytesPerSector = 4096;
  facts_.LengthBytes = 1'000'000'000'000;
  TIdentifyDeviceData id = Identify();
  EXPECT_EQ(id.LBA, 1'000'000'000'000 / 4096);
  EXPECT_EQ(id.SectorSize, 4096);

  facts_.BytesPerSector = 256;
  id = Identify();
  EXPECT_EQ(id.LBA, 0);
  EXPECT_EQ(id.SectorSize, 512);
  EXPECT_EQ(debug_.Texts().back(), "MaxTransfer: 128");
  facts_.AdapterFacts.MaximumTransferLength = 2 * 1024 * 1024;
  EXPECT_EQ(Identify().MaximumSectorsTransfer, 250);
}

TEST_F(IdentifyTest, GeometryAndLengthFailures) {
  TIdentifyDeviceData record;
  record.Model = "untouched";
  std::string fatal;

  facts_.GeometryStatus = RequestStatus{false, 5, "Input/output error"};
  EXPECT_EQ(IdentifyStorageDevice(facts_, record, logs_, fatal), -1);
  EXPECT_EQ(debug_.Texts(), std::vector<std::string>{"Getting geometry..."});

  // A failure without an error code counts as success with nothing read.
  facts_.GeometryStatus = RequestStatus{false, 0, ""};
  facts_.LengthStatus = RequestStatus{false, 19, "No such device"};
  EXPECT_EQ(IdentifyStorageDevice(facts_, record, logs_, fatal), -1);
  EXPECT_EQ(debug_.Texts()[2], "Done 0");
  EXPECT_EQ(debug_.Texts()[3], "Sector size = 0");
  EXPECT_EQ(debug_.Texts().back(), "Error accessing device: No such device");
  EXPECT_EQ(record.Model, "untouched");
  EXPECT_TRUE(fatal.empty());

  facts_.LengthStatus = RequestStatus{};  // only an unreadable descriptor is fatal
  facts_.DeviceStatus = RequestStatus{false, 19, "No such device"};
  EXPECT_EQ(IdentifyStorageDevice(facts_, record, logs_, fatal), -1);
  EXPECT_EQ(fatal, "Error accessing device: No such device");
}

TEST_F(IdentifyTest, ModelFirmwareAndSerialFallbacks) {
  facts_.Strings = DeviceStrings{"", "X", "", "", false, kBusSata};
  TIdentifyDeviceData id = Identify();
  EXPECT_EQ(id.Model, " X");
  EXPECT_EQ(id.FW, "0000");
  EXPECT_EQ(id.SN, "000000");

  facts_.Strings = DeviceStrings{"  ", "", "", "", false, kBusSata};
  EXPECT_EQ(Identify().Model, "Storage Device");

  facts_.Strings = DeviceStrings{" VEND ", " PROD ", " R1 ", "", true, kBusUsb};
  id = Identify();
  EXPECT_EQ(id.Model, "VEND PROD");
  EXPECT_EQ(id.FW, "R1");
  EXPECT_TRUE(id.RemovableMedia);
}

TEST_F(IdentifyTest, RawSerialBytesAreReadPairSwapped) {
  facts_.UseRawBuffer = true;
  const std::string raw = "BADC";
  facts_.RawBuffer[kDescriptorSizeAt] = 100;
  facts_.RawBuffer[kDescriptorSerialAt] = 64;
  for (std::size_t i = 0; i < raw.size(); ++i) {
    facts_.RawBuffer[64 + i] = static_cast<std::uint8_t>(raw[i]);
  }
  EXPECT_EQ(Identify().SN, "ABCD");

  // An odd raw serial pairs its last byte with a zero byte, which no log or terminal gets.
  facts_.RawBuffer[64 + 3] = 0;
  EXPECT_EQ(Identify().SN, "AB?D");
}

TEST_F(IdentifyTest, SerialIsCleanedInReadingOrder) {
  // Stored pair-swapped these bytes are harmless; read back they hold U+009B, a terminal's CSI.
  facts_.Strings.Serial = "\xC6Z\xC2\x9BZ\xA0";
  EXPECT_EQ(Identify().SN, "?Z?Z?");
  // A character split across two pairs reads back whole.
  facts_.Strings.Serial = "X\xC3\x9C";
  EXPECT_EQ(Identify().SN, "X\xC3\x9C");
}

TEST_F(IdentifyTest, SlavePositionIsAskedOnlyOnAtaBuses) {
  facts_.Slave = true;
  for (const std::int64_t bus : {kBusAta, kBusSata}) {
    facts_.AdapterFacts.BusType = static_cast<std::uint8_t>(bus);
    EXPECT_EQ(Identify().IsIDESlave, 1) << bus;
  }
  for (const std::int64_t bus : {kBusScsi, kBusUsb, kBusNvme, kBusFileBackedVirtual}) {
    facts_.AdapterFacts.BusType = static_cast<std::uint8_t>(bus);
    EXPECT_EQ(Identify().IsIDESlave, 0) << bus;
  }
  EXPECT_EQ(facts_.SlaveQueries, 2);
}

TEST_F(IdentifyTest, FortyCharacterSerialIsHexDecodedAndOthersAreNot) {
  facts_.Strings.Serial = "42414443464548474a4931303332353437363938";
  EXPECT_EQ(Identify().SN, "ABCDEFGHIJ0123456789");

  for (const std::string& serial : {std::string(39, '4'), std::string(41, '4')}) {
    facts_.Strings.Serial = serial;
    EXPECT_EQ(Identify().SN, serial);
  }
}

}  // namespace
}  // namespace vellumar

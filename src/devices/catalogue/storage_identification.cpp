#include "devices/catalogue/storage_identification.h"

#include "devices/base/text_format.h"
#include "devices/catalogue/hex_serial.h"

namespace vellumar {

namespace {

const char* Outcome(bool ok) { return ok ? "-1" : "0"; }

}  // namespace

std::int64_t IdentifyStorageDevice(StorageFacts& facts, TIdentifyDeviceData& record, LogSinks& logs,
                                   std::string& fatalError) {
  fatalError.clear();
  TIdentifyDeviceData local;

  logs.DebugLog("Getting geometry...");
  std::uint32_t reportedSectorSize = 0;
  const RequestStatus geometry = facts.Geometry(reportedSectorSize);
  if (!geometry.Ok && geometry.ErrorCode != 0) {
    return -1;
  }
  if (!geometry.Ok) {
    reportedSectorSize = 0;
  }
  logs.DebugLog(std::string("Done ") + Outcome(geometry.Ok));
  const std::int64_t bytesPerSector = reportedSectorSize;
  logs.DebugLog("Sector size = " + std::to_string(bytesPerSector));

  logs.DebugLog("Getting disk length...");
  std::int64_t length = 0;
  const RequestStatus lengthStatus = facts.Length(length);
  if (!lengthStatus.Ok && lengthStatus.ErrorCode != 0) {
    logs.DebugLog("Error accessing device: " + lengthStatus.ErrorText);
    return -1;
  }
  if (!lengthStatus.Ok) {
    length = 0;
  }
  logs.DebugLog(std::string("Done ") + Outcome(lengthStatus.Ok));
  logs.DebugLog("Media \"Length\" = " + std::to_string(length));

  logs.DebugLog("Querying storage property (adapter)...");
  StorageAdapterFacts adapter;
  if (facts.Adapter(adapter)) {
    logs.DebugLog(std::string("Done ") + Outcome(true));
  } else {
    logs.DebugLog(std::string("Skipped ") + Outcome(false));
    adapter.BusType = static_cast<std::uint8_t>(kBusFlash);
    adapter.MaximumTransferLength = kSubstituteTransferLength;
  }

  logs.DebugLog("Querying storage property (device)...");
  DescriptorBuffer buffer{};
  const RequestStatus device = facts.Device(buffer);
  if (!device.Ok && device.ErrorCode != 0) {
    fatalError = "Error accessing device: " + device.ErrorText;
    return -1;
  }
  if (!device.Ok) {
    buffer.fill(0);
  }
  logs.DebugLog(std::string("Done ") + Outcome(device.Ok));

  logs.DebugLog("Buffer: " + std::to_string(buffer.size()) + " bytes" + "\n" + DumpDescriptor(buffer));

  logs.DebugLog("Parsing data...");
  const DeviceDescriptorHeader header = ParseDeviceDescriptorHeader(buffer);
  // The drive chose these strings: no control character of theirs reaches a log, a terminal or a label.
  const std::string vendor =
      TrimText(ReplaceControlCharacters(DescriptorString(buffer, header.VendorIdOffset, header.Size))) + " ";
  logs.DebugLog("VendorID: " + vendor);
  const std::string product =
      TrimText(ReplaceControlCharacters(DescriptorString(buffer, header.ProductIdOffset, header.Size)));
  logs.DebugLog("ProductID: " + product);
  const std::string revision =
      TrimText(ReplaceControlCharacters(DescriptorString(buffer, header.ProductRevisionOffset, header.Size)));
  logs.DebugLog("ProductRevision: " + revision);
  std::string rawSerial;
  if (header.SerialNumberOffset != 0) {
    rawSerial = DescriptorString(buffer, header.SerialNumberOffset, header.Size);
  }
  // Cleaned once back in reading order: the pair swap can join two harmless bytes into a control
  // character, and an odd-length serial pairs its last byte with a zero byte.
  std::string serial = ReplaceControlCharacters(TrimText(SwapSerialPairs(rawSerial)));
  logs.DebugLog("SerialNumber: " + serial);

  const std::int64_t sectors = bytesPerSector >= 512 ? length / bytesPerSector : 0;
  logs.DebugLog("Sectors: " + std::to_string(sectors));
  logs.DebugLog("SectorSize: " + std::to_string(bytesPerSector));

  local.BusType = adapter.BusType;
  if (local.BusType == kBusAta || local.BusType == kBusSata) {
    local.IsIDESlave = facts.DetectIdeSlave() ? 1 : 0;
  }
  local.RemovableMedia = header.RemovableMedia;
  const std::int64_t sectorSize = bytesPerSector < 512 ? 512 : bytesPerSector;
  const std::int64_t transfer = static_cast<std::int64_t>(adapter.MaximumTransferLength) / sectorSize;
  local.MaximumSectorsTransfer = transfer > kMaximumSectorsTransferCap ? kMaximumSectorsTransferCap : transfer;
  logs.DebugLog("MaxTransfer: " + std::to_string(local.MaximumSectorsTransfer));
  local.LBA = sectors;
  local.SectorSize = sectorSize;

  local.Model = TrimText(vendor) + " " + product;
  if (TrimText(local.Model).empty()) {
    local.Model = "Storage Device";
  }
  local.FW = TrimText(revision).empty() ? std::string("0000") : revision;
  if (serial.size() == kHexSerialLength) {
    serial = ReplaceControlCharacters(DecodeHexSerial(serial, logs));
  }
  local.SN = TrimText(serial).empty() ? std::string("000000") : serial;

  record = local;
  return 0;
}

}  // namespace vellumar

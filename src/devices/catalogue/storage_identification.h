#pragma once

#include <cstdint>
#include <string>

#include "devices/base/drive_record.h"
#include "devices/base/log_sinks.h"
#include "devices/catalogue/storage_descriptor.h"

namespace vellumar {

// The outcome of one request: success, or the platform's error code with the system's text.
// A failure with code 0 counts as success wherever the identification says so.
struct RequestStatus {
  bool Ok = true;
  std::uint32_t ErrorCode = 0;
  std::string ErrorText;
};

struct StorageAdapterFacts {
  std::uint8_t BusType = 0;
  std::uint32_t MaximumTransferLength = 0;  // bytes
};

// The four generic facts about one open drive, plus its channel position. A platform answers
// them from its own requests; identification turns them into the drive's record.
class StorageFacts {
 public:
  virtual ~StorageFacts() = default;
  virtual RequestStatus Geometry(std::uint32_t& bytesPerSector) = 0;
  virtual RequestStatus Length(std::int64_t& length) = 0;
  // False when the adapter cannot be told; identification then goes on with substitute values.
  virtual bool Adapter(StorageAdapterFacts& adapter) = 0;
  // The 512-byte device descriptor (see storage_descriptor.h).
  virtual RequestStatus Device(DescriptorBuffer& buffer) = 0;
  // True when the drive sits in the slave position of its ATA channel.
  virtual bool DetectIdeSlave() = 0;
};

inline constexpr std::uint32_t kSubstituteTransferLength = 65536;
inline constexpr std::int64_t kMaximumSectorsTransferCap = 250;

// Fills `record` from the facts, logging every step to the debug log. 0 on success, -1 on
// failure with `record` untouched. When the device descriptor cannot be read at all the program
// cannot go on: -1 is returned with `fatalError` set to the text to show.
std::int64_t IdentifyStorageDevice(StorageFacts& facts, TIdentifyDeviceData& record, LogSinks& logs,
                                   std::string& fatalError);

}  // namespace vellumar

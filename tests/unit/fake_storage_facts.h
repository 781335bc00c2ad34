#pragma once

#include <cstdint>

#include "devices/catalogue/storage_identification.h"

namespace vellumar::testing {

// Answers the identification's requests from plain values.
class FakeFacts final : public vellumar::StorageFacts {
 public:
  vellumar::RequestStatus GeometryStatus;
  std::uint32_t BytesPerSector = 512;
  vellumar::RequestStatus LengthStatus;
  std::int64_t LengthBytes = 512LL * 1'000'000;
  bool AdapterOk = true;
  vellumar::StorageAdapterFacts AdapterFacts{vellumar::kBusSata, 65536};
  vellumar::RequestStatus DeviceStatus;
  vellumar::DeviceStrings Strings{"", "DISK MODEL", "FW01", "SN123", false, vellumar::kBusSata};
  bool Slave = false;
  int SlaveQueries = 0;
  bool UseRawBuffer = false;
  vellumar::DescriptorBuffer RawBuffer{};

  vellumar::RequestStatus Geometry(std::uint32_t& bytesPerSector) override {
    bytesPerSector = BytesPerSector;
    return GeometryStatus;
  }
  vellumar::RequestStatus Length(std::int64_t& length) override {
    length = LengthBytes;
    return LengthStatus;
  }
  bool Adapter(vellumar::StorageAdapterFacts& adapter) override {
    adapter = AdapterFacts;
    return AdapterOk;
  }
  vellumar::RequestStatus Device(vellumar::DescriptorBuffer& buffer) override {
    buffer = UseRawBuffer ? RawBuffer : vellumar::BuildDeviceDescriptor(Strings);
    return DeviceStatus;
  }
  bool DetectIdeSlave() override {
    ++SlaveQueries;
    return Slave;
  }
};

}  // namespace vellumar::testing

#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "devices/catalogue/storage_descriptor.h"

namespace vellumar::platform {

// Model, firmware and serial as an ATA disk reports them in its IDENTIFY data (512 bytes;
// each string's characters stored high byte first in every 16-bit word).
struct AtaIdentityStrings {
  std::string Model;
  std::string Firmware;
  std::string Serial;
};
AtaIdentityStrings AtaStringsFromIdentify(const std::vector<std::uint8_t>& identify);

// The IDENTIFY data the kernel keeps for a libata disk (ATA Information VPD page or the
// ata_device `id` file); nullopt when neither is there.
std::optional<std::vector<std::uint8_t>> ReadKernelIdentify(const std::string& sysfsRoot, const std::string& disk);

// The serial of a Unit Serial Number VPD page (0x80), trimmed; empty when the page is malformed.
std::string SerialFromVpdPage80(const std::vector<std::uint8_t>& page);

// What a disk says about itself, gathered from sysfs (and from the device through `fd` when
// sysfs does not carry the serial; -1 for none). `bus` is the disk's bus code.
vellumar::DeviceStrings ReadDeviceStrings(const std::string& sysfsRoot, const std::string& disk, std::uint8_t bus,
                                          int fd);

}  // namespace vellumar::platform

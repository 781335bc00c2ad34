#pragma once

#include <optional>
#include <string>

#include "devices/catalogue/storage_identification.h"

namespace vellumar::platform {

// The bus code of a disk, told from its name and the path of its sysfs device; nullopt when the
// bus cannot be told at all.
std::optional<std::uint8_t> ClassifyBus(const std::string& sysfsRoot, const std::string& disk);

// The adapter facts of a disk (bus code, largest transfer in bytes); false when the bus cannot
// be told.
bool ReadAdapterFacts(const std::string& sysfsRoot, const std::string& disk, vellumar::StorageAdapterFacts& adapter);

// libata numbers the slave of a parallel ATA channel as SCSI target 1: an odd target in the
// disk's H:C:T:L address is the slave position.
bool DetectIdeSlave(const std::string& sysfsRoot, const std::string& disk);

// The H:C:T:L folder name of the disk's SCSI device, empty when it has none.
std::string ScsiAddressOf(const std::string& sysfsRoot, const std::string& disk);

}  // namespace vellumar::platform

#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "devices/ata/ata_health.h"
#include "devices/ata/identify_decoder.h"
#include "devices/base/drive_record.h"
#include "devices/base/json_writer.h"
#include "devices/nvme/nvme_admin.h"
#include "devices/nvme/nvme_decoder.h"

namespace vellumar {

// The JSON forms of the two reports (docs/json.md). Each document names its report ("details"
// or "smart"), what it is about, and whether the data was available.

// What the document is about: a drive of the catalogue, or a saved file.
Json DriveSourceJson(const TDeviceTable& drive);
Json FileSourceJson(const std::string& path);

Json AtaDetailsJson(const Json& source, const T_IDE_PASSPORT& passport);
Json NvmeDetailsJson(const Json& source, const NvmeController& controller, std::uint32_t namespaceId,
                     const NvmeNamespace& ns, std::optional<bool> writeCacheEnabled);
Json AtaSmartJson(const Json& source, const AtaSmartFacts& facts);
Json NvmeSmartJson(const Json& source, const NvmeHealth& health);

// A drive that could not answer: "available": false and why.
Json UnavailableJson(std::string_view report, const Json& source, std::string_view reason);

// The documents for a drive, read through its channel. `ata` is nullptr when the drive cannot
// take ATA commands. The ATA details read IDENTIFY as the details report does; the ATA
// S.M.A.R.T. document adds the thresholds and RETURN STATUS to the report's commands.
Json CollectAtaDetailsJson(const TDeviceTable& drive, AtaPassThrough* ata, AtaDriveState& state);
Json CollectAtaSmartJson(const TDeviceTable& drive, AtaPassThrough* ata, AtaDriveState& state);
Json CollectNvmeDetailsJson(const TDeviceTable& drive, NvmeAdminChannel& channel);
Json CollectNvmeSmartJson(const TDeviceTable& drive, NvmeAdminChannel& channel);

// The documents for a saved IDENTIFY or S.M.A.R.T. data sector.
Json AtaDetailsSectorJson(const std::string& path, std::span<const std::uint8_t, kAtaSectorBytes> sector);
Json AtaSmartSectorJson(const std::string& path, std::span<const std::uint8_t, kAtaSectorBytes> sector);

}  // namespace vellumar

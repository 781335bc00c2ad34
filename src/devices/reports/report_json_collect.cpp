#include "devices/ata/ata_commands.h"
#include "devices/nvme/nvme_admin.h"
#include "devices/reports/report_json.h"

namespace vellumar {

namespace {

constexpr std::string_view kNoAtaCommands = "the device does not take ATA commands";

}  // namespace

Json CollectAtaDetailsJson(const TDeviceTable& drive, AtaPassThrough* ata, AtaDriveState& state) {
  const Json source = DriveSourceJson(drive);
  if (ata == nullptr) {
    return UnavailableJson("details", source, kNoAtaCommands);
  }
  const TIdentifyDeviceData& id = drive.IdentifyData;
  AtaSector sector{};
  // The same attempts as the details report: one retry on the ATA bus.
  bool read = AtaIdentifyDevice(*ata, id.IsIDESlave, sector);
  if (!read && id.BusType == kBusAta) {
    read = AtaIdentifyDevice(*ata, id.IsIDESlave, sector);
  }
  if (!read) {
    return UnavailableJson("details", source, "the device did not answer IDENTIFY DEVICE");
  }
  state.Identify = DecodeIdePassport(sector);
  return AtaDetailsJson(source, *state.Identify);
}

Json CollectAtaSmartJson(const TDeviceTable& drive, AtaPassThrough* ata, AtaDriveState& state) {
  const Json source = DriveSourceJson(drive);
  if (ata == nullptr) {
    return UnavailableJson("smart", source, kNoAtaCommands);
  }
  const AtaSmartFacts facts = CollectAtaSmartFacts(drive.IdentifyData, ata, state);
  if (!facts.Available) {
    return UnavailableJson("smart", source, "SMART is not supported by this device");
  }
  return AtaSmartJson(source, facts);
}

Json CollectNvmeDetailsJson(const TDeviceTable& drive, NvmeAdminChannel& channel) {
  const Json source = DriveSourceJson(drive);
  NvmePages pages;
  std::string reason;
  if (!ReadNvmePages(channel, NvmePageSet::Identity, pages, reason)) {
    return UnavailableJson("details", source, reason);
  }
  return NvmeDetailsJson(source, DecodeNvmeController(pages.Controller), pages.NamespaceId,
                         DecodeNvmeNamespace(pages.Namespace), pages.WriteCacheEnabled);
}

Json CollectNvmeSmartJson(const TDeviceTable& drive, NvmeAdminChannel& channel) {
  const Json source = DriveSourceJson(drive);
  NvmePages pages;
  std::string reason;
  if (!ReadNvmePages(channel, NvmePageSet::Health, pages, reason)) {
    return UnavailableJson("smart", source, reason);
  }
  return NvmeSmartJson(source, DecodeNvmeHealth(pages.Health));
}

Json AtaDetailsSectorJson(const std::string& path, std::span<const std::uint8_t, kAtaSectorBytes> sector) {
  return AtaDetailsJson(FileSourceJson(path), DecodeIdePassport(sector));
}

Json AtaSmartSectorJson(const std::string& path, std::span<const std::uint8_t, kAtaSectorBytes> sector) {
  AtaSmartFacts facts;
  facts.Available = true;
  facts.Attributes = DecodeSmartAttributes(sector);
  return AtaSmartJson(FileSourceJson(path), facts);
}

}  // namespace vellumar

#include "devices/reports/report_json.h"

#include "devices/ata/smart_attribute_names.h"
#include "devices/base/text_format.h"
#include "devices/reports/nvme_report.h"

namespace vellumar {

namespace {

Json Head(std::string_view report, const Json& source, std::string_view transport) {
  Json doc;
  doc["report"] = report;
  doc["source"] = source;
  doc["available"] = true;
  doc["transport"] = transport;
  return doc;
}

Json CelsiusOrNull(std::uint16_t kelvin) { return kelvin == 0 ? Json(nullptr) : Json(KelvinToCelsius(kelvin)); }

// The 128-bit counters as numbers; one beyond 64 bits (no drive gets there) is capped.
Json Count(const NvmeCounter& counter) { return counter.Saturated(); }

Json LbaFormatJson(const NvmeLbaFormat& format) {
  return {{"index", format.Index},
          {"data_bytes", format.DataBytes == 0 ? Json(nullptr) : Json(format.DataBytes)},
          {"metadata_bytes", format.MetadataBytes}};
}

std::string Trimmed(const std::string& name) { return TrimText(name); }

}  // namespace

Json DriveSourceJson(const TDeviceTable& drive) {
  if (drive.IsFile) {
    return FileSourceJson(drive.FilePath.empty() ? drive.DevicePath : drive.FilePath);
  }
  return {{"node", drive.DevicePath},
          {"drive_number", drive.DeviceNumber},
          {"bus_code", drive.IdentifyData.BusType},
          {"bus_name", BusTypeName(drive.IdentifyData.BusType)}};
}

Json FileSourceJson(const std::string& path) { return {{"file", path}}; }

Json AtaDetailsJson(const Json& source, const T_IDE_PASSPORT& p) {
  Json doc = Head("details", source, "ATA");
  doc["model"] = p.name;
  doc["firmware"] = p.fw;
  doc["serial"] = p.sn;
  doc["buffer_size_bytes"] = p.buffersize;
  doc["lba_supported"] = p.lba28support;
  doc["lba48_supported"] = p.lba48support;
  doc["lba28_sectors"] = p.lba28sectors;
  doc["lba48_sectors"] = p.lba48sectors;
  doc["sector_count"] = p.lbasectors;
  // The report's figure: sectors times 512, whatever the logical sector size.
  std::uint64_t capacity = 0;
  const bool fits = p.lbasectors >= 0 &&
                    !__builtin_mul_overflow(static_cast<std::uint64_t>(p.lbasectors), std::uint64_t{512}, &capacity);
  doc["capacity_bytes"] = fits ? Json(capacity) : Json(nullptr);
  doc["security"] = {{"supported", p.securitysupport},
                     {"locked", p.locked},
                     {"level", !p.locked ? Json(nullptr) : Json(p.lockedmax ? "maximum" : "high")}};
  doc["features"] = {{"smart", p.smartsupport},
                     {"smart_enabled", p.smartsupport && p.smartenabled},
                     {"hpa", p.hpasupport},
                     {"aam", p.aamsupport},
                     {"streaming", p.StreamingSupported}};
  doc["command_queuing"] = p.QueueDepth > 0;
  doc["queue_depth"] = p.QueueDepth > 0 ? Json(p.QueueDepth + 1) : Json(nullptr);
  return doc;
}

Json NvmeDetailsJson(const Json& source, const NvmeController& c, std::uint32_t namespaceId, const NvmeNamespace& ns,
                     std::optional<bool> writeCacheEnabled) {
  Json doc = Head("details", source, "NVMe");
  doc["model"] = c.Model;
  doc["firmware"] = c.Firmware;
  doc["serial"] = c.Serial;
  doc["nvme_version"] = c.Version == 0 ? Json(nullptr) : Json(NvmeVersionText(c.Version));
  doc["namespace_count"] = c.NamespaceCount;
  Json formats = Json::array();
  for (const NvmeLbaFormat& format : ns.Formats) {
    formats.push_back(LbaFormatJson(format));
  }
  const NvmeLbaFormat* active = ns.Active();
  doc["namespace"] = {{"id", namespaceId},
                      {"size_blocks", ns.SizeBlocks},
                      {"capacity_blocks", ns.CapacityBlocks},
                      {"utilized_blocks", ns.UtilizedBlocks},
                      {"active_lba_format", active ? LbaFormatJson(*active) : Json(nullptr)},
                      {"lba_formats", formats}};
  doc["capacity_bytes"] = JsonOptional(ns.CapacityBytes());
  doc["features"] = {
      {"format_nvm", c.FormatNvm},
      {"sanitize", c.SanitizeBlockErase || c.SanitizeCryptoErase || c.SanitizeOverwrite},
      {"sanitize_block_erase", c.SanitizeBlockErase},
      {"sanitize_crypto_erase", c.SanitizeCryptoErase},
      {"sanitize_overwrite", c.SanitizeOverwrite},
      {"write_zeroes", c.WriteZeroes},
      {"volatile_write_cache", c.VolatileWriteCache},
      {"volatile_write_cache_enabled", c.VolatileWriteCache ? JsonOptional(writeCacheEnabled) : Json(false)},
      {"security_send_receive", c.SecuritySendReceive},
      {"namespace_management", c.NamespaceManagement},
      {"device_self_test", c.DeviceSelfTest}};
  doc["warning_temperature_threshold_celsius"] = CelsiusOrNull(c.WarningTemperatureKelvin);
  doc["critical_temperature_threshold_celsius"] = CelsiusOrNull(c.CriticalTemperatureKelvin);
  return doc;
}

Json AtaSmartJson(const Json& source, const AtaSmartFacts& facts) {
  Json doc = Head("smart", source, "ATA");
  switch (facts.Verdict) {
    case AtaHealthVerdict::Passed:
      doc["health"] = {{"passed", true}, {"verdict", "PASSED"}, {"warnings", Json::array()}};
      break;
    case AtaHealthVerdict::ThresholdExceeded:
      doc["health"] = {{"passed", false}, {"verdict", "FAILING"}, {"warnings", {"threshold exceeded"}}};
      break;
    case AtaHealthVerdict::Unknown:
      doc["health"] = nullptr;
      break;
  }
  Json attributes = Json::array();
  for (const SmartAttribute& a : facts.Attributes) {
    // -1: no threshold known. A threshold of 0 means "never fails" by convention.
    int threshold = -1;
    if (facts.Thresholds) {
      if (const auto found = ThresholdFor(*facts.Thresholds, a.Id)) {
        threshold = *found;
      }
    }
    attributes.push_back({{"id", a.Id},
                          {"name", Trimmed(SmartAttributeName(a.Id))},
                          {"current", a.Current},
                          {"worst", a.Worst},
                          {"threshold", threshold < 0 ? Json(nullptr) : Json(threshold)},
                          {"failing_now", threshold > 0 && a.Current <= threshold},
                          {"raw", a.Raw}});
  }
  doc["attributes"] = attributes;
  const AtaStandardValues values = DecodeStandardValues(facts.Attributes);
  doc["power_on_hours"] = JsonOptional(values.PowerOnHours);
  doc["temperature_celsius"] = JsonOptional(values.TemperatureCelsius);
  doc["reallocated_sectors"] = JsonOptional(values.ReallocatedSectors);
  doc["reallocation_events"] = JsonOptional(values.ReallocationEvents);
  doc["pending_sectors"] = JsonOptional(values.PendingSectors);
  doc["offline_uncorrectable_sectors"] = JsonOptional(values.OfflineUncorrectable);
  return doc;
}

Json NvmeSmartJson(const Json& source, const NvmeHealth& h) {
  Json doc = Head("smart", source, "NVMe");
  const std::vector<std::string> warnings = NvmeCriticalWarnings(h.CriticalWarning);
  doc["health"] = {
      {"passed", warnings.empty()}, {"verdict", warnings.empty() ? "PASSED" : "FAILING"}, {"warnings", warnings}};
  doc["critical_warning"] = h.CriticalWarning;
  doc["temperature_celsius"] = CelsiusOrNull(h.TemperatureKelvin);
  doc["available_spare_percent"] = h.AvailableSpare;
  doc["available_spare_threshold_percent"] = h.SpareThreshold;
  doc["percentage_used"] = h.PercentageUsed;
  doc["data_units_read"] = Count(h.DataUnitsRead);
  doc["data_read_bytes"] = JsonOptional(NvmeDataUnitBytes(h.DataUnitsRead));
  doc["data_units_written"] = Count(h.DataUnitsWritten);
  doc["data_written_bytes"] = JsonOptional(NvmeDataUnitBytes(h.DataUnitsWritten));
  doc["host_read_commands"] = Count(h.HostReads);
  doc["host_write_commands"] = Count(h.HostWrites);
  doc["controller_busy_time_minutes"] = Count(h.BusyMinutes);
  doc["power_cycles"] = Count(h.PowerCycles);
  doc["power_on_hours"] = Count(h.PowerOnHours);
  doc["unsafe_shutdowns"] = Count(h.UnsafeShutdowns);
  doc["media_errors"] = Count(h.MediaErrors);
  doc["error_log_entries"] = Count(h.ErrorLogEntries);
  return doc;
}

Json UnavailableJson(std::string_view report, const Json& source, std::string_view reason) {
  Json doc;
  doc["report"] = report;
  doc["source"] = source;
  doc["available"] = false;
  doc["reason"] = reason;
  return doc;
}

}  // namespace vellumar

#include "devices/reports/nvme_report.h"

#include <array>
#include <cstdio>

#include "devices/reports/details_report.h"
#include "devices/reports/report_heading.h"
#include "devices/reports/smart_report.h"

namespace vellumar {

namespace {

// Thousands separators for any unsigned count, in the form of the ATA report's numbers.
std::string Grouped(const std::string& digits) {
  if (digits.size() < 5) {
    return digits;
  }
  std::string grouped;
  for (std::size_t i = 0; i < digits.size(); ++i) {
    if (i != 0 && (digits.size() - i) % 3 == 0) {
      grouped += ',';
    }
    grouped += digits[i];
  }
  return grouped;
}

std::string Grouped(std::uint64_t value) { return Grouped(std::to_string(value)); }

std::string Supported(const std::string& feature, bool supported) {
  return feature + (supported ? " is supported" : " is not supported");
}

std::string FormatText(const NvmeLbaFormat& format) {
  if (format.DataBytes == 0) {
    return std::to_string(format.Index) + " (not usable)";
  }
  return std::to_string(format.Index) + " (data size " + std::to_string(format.DataBytes) + " bytes, metadata size " +
         std::to_string(format.MetadataBytes) + " bytes)";
}

std::string Threshold(const char* label, std::uint16_t kelvin) {
  if (kelvin == 0) {
    return std::string(label) + "not reported";
  }
  return std::string(label) + std::to_string(KelvinToCelsius(kelvin)) + " degrees Celsius";
}

std::string DataUnits(const NvmeCounter& units) {
  const std::optional<std::uint64_t> bytes = NvmeDataUnitBytes(units);
  return Grouped(units.Decimal()) + (bytes ? " (" + Grouped(*bytes) + " bytes)" : std::string());
}

void Write(LogSink LogSinks::*sink, LogSinks& logs, const std::vector<std::string>& lines) {
  for (const std::string& line : lines) {
    (logs.*sink).Append(line);
  }
}

}  // namespace

std::vector<std::string> NvmeDetailsLines(const NvmeController& c, std::uint32_t namespaceId, const NvmeNamespace& ns,
                                          std::optional<bool> writeCacheEnabled) {
  const std::string blank(kReportBlankLine);
  std::vector<std::string> lines{"Model: " + c.Model,
                                 "Firmware Revision: " + c.Firmware,
                                 "Serial Number: " + c.Serial,
                                 "Transport: NVMe",
                                 "NVMe version: " + NvmeVersionText(c.Version),
                                 "Number of namespaces: " + std::to_string(c.NamespaceCount)};
  lines.push_back(blank);
  lines.push_back("NAMESPACE " + std::to_string(namespaceId) + ":");
  lines.push_back("Size: " + Grouped(ns.SizeBlocks) + " logical blocks");
  const NvmeLbaFormat* active = ns.Active();
  lines.push_back("Active LBA format: " +
                  (active ? FormatText(*active) : std::to_string(ns.ActiveFormat) + " (not reported)"));
  for (const NvmeLbaFormat& format : ns.Formats) {
    if (format.Index != ns.ActiveFormat) {
      lines.push_back("Other LBA format: " + FormatText(format));
    }
  }
  const std::optional<std::uint64_t> capacity = ns.CapacityBytes();
  lines.push_back("Full device capacity: " + (capacity ? Grouped(*capacity) : std::string("0")) + " bytes");
  lines.push_back(blank);
  lines.emplace_back("FEATURES:");
  lines.push_back(Supported("Format NVM", c.FormatNvm));
  const bool sanitize = c.SanitizeBlockErase || c.SanitizeCryptoErase || c.SanitizeOverwrite;
  lines.push_back(Supported("Sanitize", sanitize));
  lines.push_back(Supported("Sanitize block erase", c.SanitizeBlockErase));
  lines.push_back(Supported("Sanitize crypto erase", c.SanitizeCryptoErase));
  lines.push_back(Supported("Sanitize overwrite", c.SanitizeOverwrite));
  lines.push_back(Supported("Write Zeroes", c.WriteZeroes));
  lines.push_back(Supported("Volatile write cache", c.VolatileWriteCache));
  if (c.VolatileWriteCache) {
    lines.emplace_back(!writeCacheEnabled   ? "Volatile write cache state is unknown"
                       : *writeCacheEnabled ? "Volatile write cache is enabled"
                                            : "Volatile write cache is disabled");
  }
  lines.push_back(Supported("Security send/receive", c.SecuritySendReceive));
  lines.push_back(Supported("Namespace management", c.NamespaceManagement));
  lines.push_back(Supported("Device self-test", c.DeviceSelfTest));
  lines.push_back(blank);
  lines.emplace_back("TEMPERATURE THRESHOLDS:");
  lines.push_back(Threshold("Warning temperature threshold: ", c.WarningTemperatureKelvin));
  lines.push_back(Threshold("Critical temperature threshold: ", c.CriticalTemperatureKelvin));
  return lines;
}

std::string NvmeVerdictLine(std::uint8_t criticalWarning) {
  if (criticalWarning == 0) {
    return std::string(kNvmeHealthPassedLine);
  }
  std::string warnings;
  for (const std::string& name : NvmeCriticalWarnings(criticalWarning)) {
    warnings += (warnings.empty() ? "" : ", ") + name;
  }
  return "Overall health: FAILING (" + warnings + ")";
}

std::vector<std::string> NvmeSmartLines(const NvmeHealth& h) {
  std::array<char, 8> hex{};
  std::snprintf(hex.data(), hex.size(), "0x%02X", static_cast<unsigned>(h.CriticalWarning));
  std::string warning = "Critical warning: " + std::string(hex.data());
  const std::vector<std::string> names = NvmeCriticalWarnings(h.CriticalWarning);
  for (std::size_t i = 0; i < names.size(); ++i) {
    warning += (i == 0 ? " (" : ", ") + names[i];
  }
  if (!names.empty()) {
    warning += ")";
  }
  return {warning,
          h.TemperatureKelvin == 0
              ? std::string("Composite temperature: not reported")
              : "Composite temperature: " + std::to_string(KelvinToCelsius(h.TemperatureKelvin)) + " degrees Celsius",
          "Available spare: " + std::to_string(h.AvailableSpare) + "%",
          "Available spare threshold: " + std::to_string(h.SpareThreshold) + "%",
          "Percentage used: " + std::to_string(h.PercentageUsed) + "%",
          "Data units read: " + DataUnits(h.DataUnitsRead),
          "Data units written: " + DataUnits(h.DataUnitsWritten),
          "Host read commands: " + Grouped(h.HostReads.Decimal()),
          "Host write commands: " + Grouped(h.HostWrites.Decimal()),
          "Controller busy time: " + Grouped(h.BusyMinutes.Decimal()) + " minutes",
          "Power cycles: " + Grouped(h.PowerCycles.Decimal()),
          "Power-on hours: " + Grouped(h.PowerOnHours.Decimal()),
          "Unsafe shutdowns: " + Grouped(h.UnsafeShutdowns.Decimal()),
          "Media and data integrity errors: " + Grouped(h.MediaErrors.Decimal()),
          "Error log entries: " + Grouped(h.ErrorLogEntries.Decimal()),
          std::string(kReportBlankLine),
          NvmeVerdictLine(h.CriticalWarning),
          std::string(kReportBlankLine)};
}

bool RunNvmeDetailsReport(const std::string& driveCaption, NvmeAdminChannel& channel, LogSinks& logs) {
  Write(&LogSinks::Details, logs, ReportHeadingNow(logs, kDetailsSubjectLabel, driveCaption));
  NvmePages pages;
  std::string reason;
  if (!ReadNvmePages(channel, NvmePageSet::Identity, pages, reason)) {
    Write(&LogSinks::Details, logs, DetailsUnavailableLines(kBusNvme));
    return false;
  }
  Write(&LogSinks::Details, logs,
        NvmeDetailsLines(DecodeNvmeController(pages.Controller), pages.NamespaceId,
                         DecodeNvmeNamespace(pages.Namespace), pages.WriteCacheEnabled));
  return true;
}

bool RunNvmeSmartReport(const std::string& driveCaption, NvmeAdminChannel& channel, LogSinks& logs) {
  Write(&LogSinks::Smart, logs, ReportHeadingNow(logs, kSmartSubjectLabel, driveCaption));
  NvmePages pages;
  std::string reason;
  if (!ReadNvmePages(channel, NvmePageSet::Health, pages, reason)) {
    logs.SmartLog(kSmartNotSupportedLine);
    return false;
  }
  Write(&LogSinks::Smart, logs, NvmeSmartLines(DecodeNvmeHealth(pages.Health)));
  return true;
}

}  // namespace vellumar

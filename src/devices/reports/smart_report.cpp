#include "devices/reports/smart_report.h"

#include <array>
#include <cstdio>

#include "devices/ata/ata_commands.h"
#include "devices/ata/smart_attribute_names.h"
#include "devices/ata/smart_fetch.h"
#include "devices/reports/report_heading.h"

namespace vellumar {

namespace {

constexpr std::uint8_t kTemperatureAttribute = 194;
constexpr std::size_t kRuleWidth = 88;

std::string Hex(std::uint8_t value) {
  std::array<char, 8> buffer{};
  const int length = std::snprintf(buffer.data(), buffer.size(), "%02X", static_cast<unsigned>(value));
  return std::string(buffer.data(), static_cast<std::size_t>(length));
}

void WriteSmartLines(LogSinks& logs, const std::vector<std::string>& lines) {
  for (const std::string& line : lines) {
    logs.SmartLog(line);
  }
}

}  // namespace

std::string SmartAttributeLine(const SmartAttribute& a) {
  std::string line = " " + PadRight(std::to_string(a.Id), 3) + "  " + Hex(a.Id) + "  " + SmartAttributeName(a.Id) +
                     "     " + PadLeft(std::to_string(a.Current), 5) + "  " + PadLeft(std::to_string(a.Worst), 7) +
                     "  " + PadLeft(std::to_string(a.Raw), 16);
  if (a.Id == kTemperatureAttribute) {
    line += "  (" + std::to_string(a.RawLowByte) + " degrees) ";
  }
  return line;
}

std::vector<std::string> SmartTableLines(const std::vector<SmartAttribute>& attributes) {
  std::vector<std::string> lines{std::string(kSmartColumnHeader), std::string(kRuleWidth, '-')};
  for (const SmartAttribute& attribute : attributes) {
    lines.push_back(SmartAttributeLine(attribute));
  }
  lines.emplace_back(kReportBlankLine);
  return lines;
}

bool RunSmartReport(const TDeviceTable& drive, const std::string& driveCaption, AtaPassThrough* ata, LogSinks& logs,
                    AtaDriveState& state) {
  WriteSmartLines(logs, ReportHeadingNow(logs, kSmartSubjectLabel, driveCaption));
  AtaSector data{};
  if (!FetchSmartData(drive.IdentifyData, ata, state, data)) {
    logs.SmartLog(kSmartNotSupportedLine);
    return false;
  }
  WriteSmartLines(logs, SmartTableLines(DecodeSmartAttributes(data)));
  return true;
}

void RunSmartReportForSector(const std::string& sourceName, std::span<const std::uint8_t, kAtaSectorBytes> sector,
                             LogSinks& logs) {
  WriteSmartLines(logs, ReportHeadingNow(logs, kSmartSubjectLabel, sourceName));
  WriteSmartLines(logs, SmartTableLines(DecodeSmartAttributes(sector)));
}

}  // namespace vellumar

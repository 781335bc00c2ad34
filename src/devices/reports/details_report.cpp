#include "devices/reports/details_report.h"

#include <stdexcept>

#include "devices/ata/ata_commands.h"
#include "devices/base/checked_math.h"
#include "devices/base/product.h"
#include "devices/base/text_format.h"
#include "devices/reports/report_heading.h"

namespace vellumar {

namespace {

// Sectors times sector size with thousands separators. A corrupt 48-bit count can leave the
// signed 64-bit range; the exact product is written then, grouped the same way.
std::string GroupedProduct(std::int64_t sectors, std::int64_t sectorSize) {
  try {
    return GroupThousands(CheckedMul(sectors, sectorSize));
  } catch (const std::overflow_error&) {
    unsigned __int128 product = static_cast<unsigned __int128>(sectors) * static_cast<unsigned __int128>(sectorSize);
    std::string digits;
    while (product != 0) {
      digits.insert(digits.begin(), static_cast<char>('0' + static_cast<int>(product % 10)));
      product /= 10;
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
}

const char* Supported(bool supported) { return supported ? " is supported" : " is not supported"; }

void AppendSecurity(const T_IDE_PASSPORT& p, std::vector<std::string>& lines) {
  lines.emplace_back(std::string("Security features") + Supported(p.securitysupport));
  if (!p.locked) {
    lines.emplace_back("The device is currently not locked");
    return;
  }
  lines.emplace_back("The drive is currently LOCKED");
  if (p.lockedmax) {
    lines.emplace_back("Security level: Maximum");
    lines.emplace_back("Device needs USER password to be unlocked.");
    lines.emplace_back("If USER password is unknown, the device could be erased with MASTER password.");
  } else {
    lines.emplace_back("Security level: High");
    lines.emplace_back("Device needs either USER or MASTER password to be unlocked.");
  }
}

void WriteLines(LogSinks& logs, const std::vector<std::string>& lines) {
  for (const std::string& line : lines) {
    logs.DetailsLog(line);
  }
}

}  // namespace

std::vector<std::string> DetailsLines(const T_IDE_PASSPORT& p, const LocaleSettings& locale) {
  const std::string blank(kReportBlankLine);
  std::vector<std::string> lines;
  lines.push_back("Model: " + p.name);
  lines.push_back("Firmware Revision: " + p.fw);
  lines.push_back("Serial Number: " + p.sn);
  if (p.buffersize > 0) {
    lines.push_back("Buffer size: " + FormatCapacity(p.buffersize, locale));
  }
  lines.push_back(blank);
  lines.emplace_back("PHYSICAL PARAMETERS:");
  lines.emplace_back(std::string("LBA mode") + Supported(p.lba28support));
  lines.emplace_back(std::string("LBA-48 mode") + Supported(p.lba48support));
  lines.push_back("Sectors available with LBA commands: " + GroupThousands(p.lba28sectors));
  lines.push_back("Sectors available with LBA48 commands: " + GroupThousands(p.lba48sectors));
  lines.push_back("Full device capacity: " + GroupedProduct(p.lbasectors, p.sectorsize) + " bytes");
  lines.push_back(blank);
  lines.emplace_back("SECURITY:");
  AppendSecurity(p, lines);
  lines.push_back(blank);
  lines.emplace_back("FEATURES:");
  lines.emplace_back(std::string("SMART") + Supported(p.smartsupport));
  lines.emplace_back(std::string("HPA (Host-protected area)") + Supported(p.hpasupport));
  lines.emplace_back(std::string("AAM (Automatic acoustic management)") + Supported(p.aamsupport));
  lines.emplace_back(std::string("Streaming feature set") + Supported(p.StreamingSupported));
  lines.push_back(blank);
  lines.emplace_back("QUEUING:");
  if (p.QueueDepth > 0) {
    lines.emplace_back("Command Queuing is supported by the device");
    lines.push_back("Maximum Queue Depth: " + std::to_string(p.QueueDepth + 1));
  } else {
    lines.emplace_back("Command Queuing is not supported by the device");
  }
  return lines;
}

std::vector<std::string> DetailsUnavailableLines(std::int64_t busType) {
  if (busType == kBusAta) {
    return {"Details are unavailable: Internal error.",
            "Please post this problem on " + std::string(kSupportForumAddress)};
  }
  return {"Details are unavailable for this device."};
}

bool RunDetailsReport(const TDeviceTable& drive, const std::string& driveCaption, AtaPassThrough* ata, LogSinks& logs,
                      AtaDriveState& state) {
  WriteLines(logs, ReportHeadingNow(logs, kDetailsSubjectLabel, driveCaption));
  const TIdentifyDeviceData& id = drive.IdentifyData;
  AtaSector sector{};
  AtaRoute route = AtaRoute::Legacy;
  bool read = ata != nullptr && AtaIdentifyDevice(*ata, id.IsIDESlave, sector, &route);
  if (!read && ata != nullptr && id.BusType == kBusAta) {
    read = AtaIdentifyDevice(*ata, id.IsIDESlave, sector, &route);
  }
  if (!read) {
    WriteLines(logs, DetailsUnavailableLines(id.BusType));
    return false;
  }
  const T_IDE_PASSPORT passport = DecodeIdePassport(sector);
  state.Identify = passport;
  state.IdentifyFromDrive = route == AtaRoute::PassThrough;
  WriteLines(logs, DetailsLines(passport, logs.Locale()));
  return true;
}

void RunDetailsReportForSector(const std::string& sourceName, std::span<const std::uint8_t, kAtaSectorBytes> sector,
                               LogSinks& logs) {
  WriteLines(logs, ReportHeadingNow(logs, kDetailsSubjectLabel, sourceName));
  WriteLines(logs, DetailsLines(DecodeIdePassport(sector), logs.Locale()));
}

}  // namespace vellumar

#include "ops/certificate_record.h"

#include <array>
#include <random>
#include <string_view>

#include "devices/ata/ata_health.h"
#include "devices/base/product.h"
#include "devices/base/text_format.h"
#include "devices/base/version.h"

namespace vellumar::ops {

ErasureCertificate StartCertificate(const std::string& kind, const TDeviceTable& drive, const std::string& operatorName,
                                    CertificateFacts& facts) {
  ErasureCertificate c;
  c.Kind = kind;
  const std::string_view product = kProductName;
  const auto space = product.rfind(' ');
  c.ToolName = std::string(product.substr(0, space));
  c.ToolVersion = std::string(product.substr(space + 1));
  c.Build = VersionLine(c.ToolName);
  c.Id = NewCertificateId();
  c.Operator = operatorName;
  facts.AddHostFacts(c);

  const TIdentifyDeviceData& id = drive.IdentifyData;
  c.Drive.Node = drive.DevicePath;
  c.Drive.Bus = BusTypeName(id.BusType);
  c.Drive.Model = TrimText(id.Model);
  c.Drive.Serial = TrimText(id.SN);
  c.Drive.Firmware = TrimText(id.FW);
  c.Drive.Sectors = id.LBA;
  c.Drive.LogicalSectorSize = id.SectorSize;
  c.Drive.CapacityBytes = id.LBA * id.SectorSize;
  facts.AddDriveFacts(c.Drive);
  c.Drive.MediaType = MediaTypeOf(id.BusType, c.Drive.Rotational);
  for (std::string* text : {&c.Drive.Node, &c.Drive.ById, &c.Drive.Bus, &c.Drive.Model, &c.Drive.Serial,
                            &c.Drive.Firmware, &c.Drive.Wwn, &c.Operator, &c.Host, &c.Kernel}) {
    *text = StripBidiControls(*text);
  }
  return c;
}

CertificateHealth HealthSummary(const DriveInspection& inspection) {
  CertificateHealth health;
  if (inspection.Smart) {
    const AtaStandardValues values = DecodeStandardValues(*inspection.Smart);
    health.ReallocatedSectors = values.ReallocatedSectors;
    health.PendingSectors = values.PendingSectors;
    const bool worn = values.ReallocatedSectors.value_or(0) > 0 || values.PendingSectors.value_or(0) > 0;
    health.Verdict = worn ? "attention" : "ok";
  } else if (inspection.Nvme) {
    const NvmeHealth& log = *inspection.Nvme;
    health.PercentageUsed = log.PercentageUsed;
    health.MediaErrors = log.MediaErrors.Saturated();
    const bool worn = log.CriticalWarning != 0 || log.PercentageUsed >= 100 || health.MediaErrors > 0U;
    health.Verdict = worn ? "attention" : "ok";
  }
  return health;
}

std::string MediaTypeOf(std::int64_t busType, const std::optional<bool>& rotational) {
  const std::string bus = BusTypeName(busType);
  if (busType == kBusNvme || bus == "SD" || bus == "MMC" || bus == "FLASH") {
    return "flash";
  }
  // Virtual disks and image files say nothing true about the medium under them.
  if (!rotational || bus == "IMAGE" || bus == "VIRTUAL" || bus == "FBVIRTUAL" || bus == "UNKNOWN") {
    return "unknown";
  }
  return *rotational ? "magnetic" : "flash";
}

std::string NewCertificateId() {
  std::random_device entropy;
  std::array<std::uint8_t, 16> bytes{};
  for (std::uint8_t& byte : bytes) {
    byte = static_cast<std::uint8_t>(entropy());
  }
  bytes[6] = static_cast<std::uint8_t>((bytes[6] & 0x0FU) | 0x40U);  // version 4
  bytes[8] = static_cast<std::uint8_t>((bytes[8] & 0x3FU) | 0x80U);  // the RFC 4122 variant
  static constexpr char kHex[] = "0123456789abcdef";
  std::string text;
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    if (i == 4 || i == 6 || i == 8 || i == 10) {
      text += '-';
    }
    text += kHex[bytes[i] >> 4U];
    text += kHex[bytes[i] & 0x0FU];
  }
  return text;
}

void FinishCertificate(ErasureCertificate& certificate, CertificateFacts& facts, std::time_t started,
                       std::time_t ended) {
  certificate.Started = facts.IsoTime(started);
  certificate.Ended = facts.IsoTime(ended);
  certificate.DurationSeconds = static_cast<std::int64_t>(ended - started);
}

}  // namespace vellumar::ops

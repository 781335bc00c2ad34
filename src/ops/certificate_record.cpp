#include "ops/certificate_record.h"

#include <string_view>

#include "devices/base/product.h"
#include "devices/base/text_format.h"

namespace vellumar::ops {

ErasureCertificate StartCertificate(const std::string& kind, const TDeviceTable& drive, const std::string& operatorName,
                                    CertificateFacts& facts) {
  ErasureCertificate c;
  c.Kind = kind;
  const std::string_view product = kProductName;
  const auto space = product.rfind(' ');
  c.ToolName = std::string(product.substr(0, space));
  c.ToolVersion = std::string(product.substr(space + 1));
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
  for (std::string* text : {&c.Drive.Node, &c.Drive.ById, &c.Drive.Bus, &c.Drive.Model, &c.Drive.Serial,
                            &c.Drive.Firmware, &c.Drive.Wwn, &c.Operator, &c.Host, &c.Kernel}) {
    *text = StripBidiControls(*text);
  }
  return c;
}

void FinishCertificate(ErasureCertificate& certificate, CertificateFacts& facts, std::time_t started,
                       std::time_t ended) {
  certificate.Started = facts.IsoTime(started);
  certificate.Ended = facts.IsoTime(ended);
  certificate.DurationSeconds = static_cast<std::int64_t>(ended - started);
}

}  // namespace vellumar::ops

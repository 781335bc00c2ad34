#include "cli/certificate_output.h"

#include <ostream>

#include "devices/base/product.h"
#include "platform/linux/host/certificate_facts.h"
#include "platform/linux/host/directory_sink.h"
#include "report/certificate_files.h"

namespace vellumar::cli {

namespace {

std::string Trimmed(const std::string& text) {
  const auto first = text.find_first_not_of(' ');
  if (first == std::string::npos) {
    return "";
  }
  return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

}  // namespace

CertificateRecorder::CertificateRecorder(const ResolvedDrive& drive, const std::string& operatorName,
                                         const std::string& kind, const CliEnvironment& env)
    : started_(std::time(nullptr)) {
  vellumar::ErasureCertificate& c = certificate_;
  c.Kind = kind;
  const std::string_view product = vellumar::kProductName;
  const auto space = product.rfind(' ');
  c.ToolName = std::string(product.substr(0, space));
  c.ToolVersion = std::string(product.substr(space + 1));
  c.Operator = operatorName;
  c.Started = vellumar::platform::IsoLocalTime(started_);
  vellumar::platform::ReadHostFacts(c);

  const vellumar::TIdentifyDeviceData& id = drive.Entry.IdentifyData;
  c.Drive.Node = drive.Entry.DevicePath;
  c.Drive.Bus = vellumar::BusTypeName(id.BusType);
  c.Drive.Model = Trimmed(id.Model);
  c.Drive.Serial = Trimmed(id.SN);
  c.Drive.Firmware = Trimmed(id.FW);
  c.Drive.Sectors = id.LBA;
  c.Drive.LogicalSectorSize = id.SectorSize;
  c.Drive.CapacityBytes = id.LBA * id.SectorSize;
  vellumar::platform::ReadDriveFacts(drive.Geometry.Rdev, env.SysfsRoot, env.DevRoot, c.Drive);
}

bool CertificateRecorder::Write(const std::string& folder, CliEnvironment& env) {
  const std::time_t ended = std::time(nullptr);
  certificate_.Ended = vellumar::platform::IsoLocalTime(ended);
  certificate_.DurationSeconds = static_cast<std::int64_t>(ended - started_);
  const std::string stem =
      vellumar::CertificateFileStem(certificate_.Drive.Serial, vellumar::platform::UtcStamp(ended));
  vellumar::platform::DirectorySink sink(folder);
  std::string error;
  const std::string written = vellumar::report::WriteCertificateFiles(certificate_, stem, sink, error);
  if (written.empty()) {
    env.Err << "The certificate could not be written: " << error << "\n";
    return false;
  }
  env.Out << "Certificate: " << folder << "/" << written << ".json, " << folder << "/" << written << ".pdf\n";
  return true;
}

}  // namespace vellumar::cli

#pragma once

#include <ctime>
#include <string>

#include "cli/cli_commands.h"
#include "cli/drive_argument.h"
#include "devices/certificate/certificate.h"

namespace vellumar::cli {

// Gathers a certificate while `format` or `verify` runs and writes it at the end.
class CertificateRecorder {
 public:
  // Records the start time, the host and the drive; `kind` is "erasure" or "verification".
  CertificateRecorder(const ResolvedDrive& drive, const std::string& operatorName, const std::string& kind,
                      const CliEnvironment& env);

  vellumar::ErasureCertificate& Certificate() { return certificate_; }
  void AddLogLine(const std::string& entry) { certificate_.Log.push_back(entry); }

  // Writes "<serial>-<UTC time>.json" and ".pdf" into `folder` and names them on standard
  // output; false with a message on standard error when they could not be written.
  bool Write(const std::string& folder, CliEnvironment& env);

 private:
  vellumar::ErasureCertificate certificate_;
  std::time_t started_;
};

}  // namespace vellumar::cli

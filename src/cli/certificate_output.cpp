#include "cli/certificate_output.h"

#include <ostream>

#include "ops/exit_status.h"
#include "ops/linux/certificate_writer.h"

namespace vellumar::cli {

vellumar::ops::SystemRoots RootsOf(const CliEnvironment& env) { return {env.SysfsRoot, env.ProcRoot, env.DevRoot}; }

bool WriteCertificateInto(const vellumar::ErasureCertificate& certificate, std::time_t ended, const std::string& folder,
                          CliEnvironment& env) {
  std::string error;
  const std::string written =
      vellumar::ops::WriteCertificate(certificate, folder, vellumar::ops::CertificateStem(certificate, ended),
                                      vellumar::ops::CertificateOwner::Process, error);
  if (written.empty()) {
    env.Err << "The certificate could not be written: " << error << "\n";
    return false;
  }
  env.Out << "Certificate: " << folder << "/" << written << ".json, " << folder << "/" << written << ".pdf\n";
  return true;
}

int StatusWithCertificate(int status, bool written) {
  return written || status != vellumar::ops::kExitOk ? status : vellumar::ops::kExitUsage;
}

}  // namespace vellumar::cli

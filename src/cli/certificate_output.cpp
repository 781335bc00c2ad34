#include "cli/certificate_output.h"

#include <ostream>

#include "devices/certificate/certificate_config.h"
#include "ops/exit_status.h"

namespace vellumar::cli {

vellumar::ops::SystemRoots RootsOf(const CliEnvironment& env) { return {env.SysfsRoot, env.ProcRoot, env.DevRoot}; }

std::optional<int> ReadCertificateOptions(std::string_view command, const CommandLine& line,
                                          CertificateRequest& request, CliEnvironment& env) {
  request.Folder = line.Value("--certificate");
  request.Settings.ConfigFolder = env.ConfigFolder;
  request.Settings.SigningKeyFile = line.Value("--signing-key");
  vellumar::CertificateAttestation& a = request.Settings.Attestation;
  a.Organisation = line.Value("--organisation");
  a.Location = line.Value("--location");
  a.AssetNumber = line.Value("--asset");
  a.MediaDestination = line.Value("--destination");
  a.Validator = line.Value("--validator");
  if (!a.MediaDestination.empty() && !vellumar::IsMediaDestination(a.MediaDestination)) {
    env.Err << "vellumar-cli " << command << ": --destination takes reuse, recycle or destroy\n";
    return kExitUsage;
  }
  return std::nullopt;
}

std::optional<int> PrepareCertificate(std::string_view command, const CertificateRequest& request,
                                      std::optional<vellumar::ops::CertificateOutput>& output, CliEnvironment& env) {
  if (request.Folder.empty()) {
    return std::nullopt;
  }
  std::string error;
  output = vellumar::ops::PrepareCertificateOutput(request.Folder, request.Settings, error);
  if (!output) {
    env.Err << "vellumar-cli " << command << ": --certificate: " << error << "; nothing was touched.\n";
    return kExitUsage;
  }
  return std::nullopt;
}

bool WriteCertificateInto(const vellumar::ErasureCertificate& certificate, std::time_t ended,
                          vellumar::ops::CertificateOutput& output, CliEnvironment& env) {
  std::string error;
  const std::string written =
      vellumar::ops::WriteCertificate(certificate, output, vellumar::ops::CertificateStem(certificate, ended), error);
  if (written.empty()) {
    env.Err << "The certificate could not be written: " << error << "\n";
    return false;
  }
  const std::string path = output.Folder->Folder() + "/" + written;
  env.Out << "Certificate: " << path << ".json, " << path << ".pdf, " << path << ".json.sig\n";
  return true;
}

int StatusWithCertificate(int status, bool written) {
  return written || status != vellumar::ops::kExitOk ? status : vellumar::ops::kExitUsage;
}

}  // namespace vellumar::cli

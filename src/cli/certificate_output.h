#pragma once

#include <ctime>
#include <optional>
#include <string>
#include <string_view>

#include "cli/cli_commands.h"
#include "cli/command_line.h"
#include "devices/certificate/certificate.h"
#include "ops/erasure_job.h"
#include "ops/linux/certificate_writer.h"
#include "ops/linux/linux_parts.h"

namespace vellumar::cli {

// The system's roots as the command was given them.
vellumar::ops::SystemRoots RootsOf(const CliEnvironment& env);

// The certificate options of format and verify, as given.
struct CertificateRequest {
  std::string Folder;  // empty: no certificate
  vellumar::ops::CertificateSettings Settings;
};

// Reads --certificate and the options that go into the certificate. A usage error (its status)
// for a destination other than reuse, recycle or destroy.
std::optional<int> ReadCertificateOptions(std::string_view command, const CommandLine& line,
                                          CertificateRequest& request, CliEnvironment& env);

// Before anything is touched: reads the settings, loads or makes the signing key and tries the
// folder. Exit status 5 with the reason on standard error when the certificate could not be
// written.
std::optional<int> PrepareCertificate(std::string_view command, const CertificateRequest& request,
                                      std::optional<vellumar::ops::CertificateOutput>& output, CliEnvironment& env);

// Writes "<serial>-<UTC time>.json", ".pdf" and ".json.sig" and names them on standard output;
// false with a message on standard error when they could not be written.
bool WriteCertificateInto(const vellumar::ErasureCertificate& certificate, std::time_t ended,
                          vellumar::ops::CertificateOutput& output, CliEnvironment& env);

// A status after the certificate was asked for: one that could not be written turns success into 5.
int StatusWithCertificate(int status, bool written);

}  // namespace vellumar::cli

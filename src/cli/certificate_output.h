#pragma once

#include <ctime>
#include <string>

#include "cli/cli_commands.h"
#include "devices/certificate/certificate.h"
#include "ops/erasure_job.h"
#include "ops/linux/linux_parts.h"

namespace vellumar::cli {

// The system's roots as the command was given them.
vellumar::ops::SystemRoots RootsOf(const CliEnvironment& env);

// Writes "<serial>-<UTC time>.json" and ".pdf" into `folder` and names them on standard output;
// false with a message on standard error when they could not be written.
bool WriteCertificateInto(const vellumar::ErasureCertificate& certificate, std::time_t ended, const std::string& folder,
                          CliEnvironment& env);

// A status after the certificate was asked for: one that could not be written turns success into 5.
int StatusWithCertificate(int status, bool written);

}  // namespace vellumar::cli

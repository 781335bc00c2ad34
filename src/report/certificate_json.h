#pragma once

#include <string>

#include "devices/certificate/certificate.h"

namespace vellumar::report {

// The certificate as its JSON record (docs/certificate.md), indented, ending in a line break.
// Bytes that are not UTF-8 (drive texts) become U+FFFD.
std::string CertificateJson(const vellumar::ErasureCertificate& certificate);

// Lower-case hex SHA-256 of `bytes`.
std::string Sha256Hex(const std::string& bytes);

}  // namespace vellumar::report

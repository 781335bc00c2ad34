#pragma once

#include <string>
#include <string_view>

#include "devices/certificate/certificate.h"

namespace vellumar {

// The certificate settings file (/etc/vellumar/certificate.conf): one "key = value" a line, keys
// organisation, location, asset, destination, validator and signing_key; blank lines and lines
// that start with '#' are skipped; a key given twice keeps its last value.
struct CertificateConfig {
  CertificateAttestation Attestation;
  std::string SigningKey;  // an absolute path; empty for the host's own key
};

// False with `error` naming the line for an unknown key, a line without '=', a destination other
// than reuse, recycle or destroy, or a signing key that is not an absolute path: a typo must not
// leave a field out of every certificate unnoticed.
bool ParseCertificateConfig(std::string_view text, CertificateConfig& config, std::string& error);

bool IsMediaDestination(std::string_view value);

// Each field of `given` that is not empty replaces the one of `base`.
CertificateAttestation Overlay(const CertificateAttestation& base, const CertificateAttestation& given);

}  // namespace vellumar

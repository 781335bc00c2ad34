#pragma once

#include <optional>
#include <string>

#include "devices/certificate/certificate.h"
#include "devices/certificate/certificate_config.h"
#include "report/signing.h"

namespace vellumar::ops {

// Where a certificate's settings come from: the folder of the settings file and of the host's
// key (a parameter so tests use their own), and what the command line gave.
struct CertificateSettings {
  std::string ConfigFolder = "/etc/vellumar";
  std::string SigningKeyFile;          // --signing-key; empty: the settings file's, else the host's key
  CertificateAttestation Attestation;  // each field given replaces the settings file's
};

// "<ConfigFolder>/certificate.conf"; a missing file leaves `config` empty. False with `error` for
// a file that others could change or that does not parse.
bool LoadCertificateConfig(const std::string& configFolder, CertificateConfig& config, std::string& error);

// The key certificates are signed with: --signing-key's file, else the settings file's
// signing_key, else the host's own "<ConfigFolder>/signing.key", made on first use when `create`.
// A key file must belong to this process's user with mode 0600. `path` says which file it was.
std::optional<report::SigningKey> LoadSigningKey(const CertificateSettings& settings, const CertificateConfig& config,
                                                 bool create, std::string& path, std::string& error);

}  // namespace vellumar::ops

#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "report/signing.h"

namespace vellumar::report {

// What `certificate verify` tells about a record besides its signature. Fields a record does not
// have (or a file that is no record) stay empty.
struct CertificateSummary {
  std::string Id;
  std::string Serial;
  std::string Outcome;     // "erase completed, verification passed"
  std::string SignedWith;  // the fingerprint the record names
};

CertificateSummary SummariseCertificate(std::string_view json);

enum class SignatureVerdict { Valid, Missing, Unreadable, Mismatch };

// Checks the detached signature (the .sig file's text; nullopt when there is none) of the JSON
// file's exact bytes against `key`. Mismatch covers a changed byte and another key alike.
SignatureVerdict CheckSignature(std::string_view json, const std::optional<std::string>& signatureFile,
                                const PublicKey& key);

}  // namespace vellumar::report

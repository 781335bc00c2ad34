#pragma once

#include <string>

#include "devices/certificate/certificate.h"
#include "report/signing.h"

namespace vellumar::report {

// Writes "<stem>.json", "<stem>.pdf" and "<stem>.json.sig" through `sink`, all or none
// ("<stem>-2" and so on when a certificate of the same second is there). The record names the
// key's fingerprint and is signed as written: the .sig holds the base64 Ed25519 signature of the
// JSON file's exact bytes. The PDF's footer carries the JSON file's SHA-256. Returns the stem
// used, or empty with a readable `error` when the files could not be written.
std::string WriteCertificateFiles(const vellumar::ErasureCertificate& certificate, const std::string& stem,
                                  const SigningKey& key, vellumar::CertificateSink& sink, std::string& error);

}  // namespace vellumar::report

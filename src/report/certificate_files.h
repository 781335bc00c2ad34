#pragma once

#include <string>

#include "devices/certificate/certificate.h"

namespace vellumar::report {

// Writes "<stem>.json" and "<stem>.pdf" through `sink` ("<stem>-2" and so on when a certificate
// of the same second is there); the PDF's footer carries the JSON record's SHA-256. Returns the
// stem used, or empty with a readable `error` when either file could not be written.
std::string WriteCertificateFiles(const vellumar::ErasureCertificate& certificate, const std::string& stem,
                                  vellumar::CertificateSink& sink, std::string& error);

}  // namespace vellumar::report

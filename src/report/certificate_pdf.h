#pragma once

#include <string>

#include "devices/certificate/certificate.h"

namespace vellumar::report {

// The certificate for people: A4 pages (two as a rule) with the product, tables of the drive,
// the erase, the check and the hidden area, the S.M.A.R.T. table and the run's log, and the
// JSON record's SHA-256 in every footer. Returns the PDF's bytes; empty when cairo failed.
std::string CertificatePdf(const vellumar::ErasureCertificate& certificate, const std::string& jsonSha256);

}  // namespace vellumar::report

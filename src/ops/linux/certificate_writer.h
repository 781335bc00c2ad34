#pragma once

#include <ctime>
#include <string>

#include "devices/certificate/certificate.h"

namespace vellumar::ops {

// Whose files a certificate becomes: the process's own, or (run as root for someone through
// pkexec or sudo) the person at the desk's, created with that user's file-system identity.
enum class CertificateOwner { Process, DeskUser };

// Writes "<stem>.json" and "<stem>.pdf" into `folder` (new files only; a taken name gets "-2"
// and so on). Returns the stem written, or empty with `error` set.
std::string WriteCertificate(const ErasureCertificate& certificate, const std::string& folder, const std::string& stem,
                             CertificateOwner owner, std::string& error);

// The stem of a certificate's files: the drive's serial and the UTC time it ended.
std::string CertificateStem(const ErasureCertificate& certificate, std::time_t ended);

// The folder and stem of a PDF path chosen in a save dialog ("/a/b/x.pdf" gives "/a/b", "x").
std::pair<std::string, std::string> SplitReportPath(const std::string& pdfPath);

}  // namespace vellumar::ops

#pragma once

#include <ctime>
#include <memory>
#include <optional>
#include <string>

#include "devices/certificate/certificate.h"
#include "ops/linux/certificate_settings.h"
#include "platform/linux/host/directory_sink.h"
#include "report/signing.h"

namespace vellumar::ops {

// Whose files a certificate becomes: the process's own, or (run as root for someone through
// pkexec or sudo) the person at the desk's, created with that user's file-system identity.
enum class CertificateOwner { Process, DeskUser };

// All a certificate is written with, made ready before anything is erased, so a folder that
// cannot take it or a key that cannot sign it is found out while the drive is still whole.
struct CertificateOutput {
  std::unique_ptr<platform::DirectorySink> Folder;
  report::SigningKey Key;
  CertificateAttestation Attestation;  // the settings file's, with the options over it
};

// Reads the settings, loads (or makes) the signing key and opens and tries `folder`. Null with
// `error` when any of them fails.
std::optional<CertificateOutput> PrepareCertificateOutput(const std::string& folder,
                                                          const CertificateSettings& settings, std::string& error);

// Writes "<stem>.json", "<stem>.pdf" and "<stem>.json.sig" (all or none; a taken name gets "-2"
// and so on) with the output's attestation and key. Returns the stem written, or empty with
// `error` set.
std::string WriteCertificate(const ErasureCertificate& certificate, CertificateOutput& output, const std::string& stem,
                             std::string& error);

// The same in one step with the system's settings (/etc/vellumar), writing into `folder` as
// `owner`: the desktop program's save.
std::string WriteCertificate(const ErasureCertificate& certificate, const std::string& folder, const std::string& stem,
                             CertificateOwner owner, std::string& error);

// The stem of a certificate's files: the drive's serial and the UTC time it ended.
std::string CertificateStem(const ErasureCertificate& certificate, std::time_t ended);

// The folder and stem of a PDF path chosen in a save dialog ("/a/b/x.pdf" gives "/a/b", "x").
std::pair<std::string, std::string> SplitReportPath(const std::string& pdfPath);

}  // namespace vellumar::ops

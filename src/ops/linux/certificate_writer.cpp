#include "ops/linux/certificate_writer.h"

#include <optional>

#include "platform/linux/host/certificate_facts.h"
#include "platform/linux/host/user_account.h"
#include "platform/linux/host/user_files.h"
#include "report/certificate_files.h"

namespace vellumar::ops {

std::optional<CertificateOutput> PrepareCertificateOutput(const std::string& folder,
                                                          const CertificateSettings& settings, std::string& error) {
  CertificateConfig config;
  if (!LoadCertificateConfig(settings.ConfigFolder, config, error)) {
    return std::nullopt;
  }
  std::string keyPath;
  std::optional<report::SigningKey> key = LoadSigningKey(settings, config, true, keyPath, error);
  if (!key) {
    return std::nullopt;
  }
  std::unique_ptr<platform::DirectorySink> sink = platform::DirectorySink::Open(folder, error);
  if (!sink) {
    return std::nullopt;
  }
  return CertificateOutput{std::move(sink), *key, Overlay(config.Attestation, settings.Attestation)};
}

std::string WriteCertificate(const ErasureCertificate& certificate, CertificateOutput& output, const std::string& stem,
                             std::string& error) {
  ErasureCertificate record = certificate;
  record.Attestation = Overlay(output.Attestation, record.Attestation);
  return report::WriteCertificateFiles(record, stem, output.Key, *output.Folder, error);
}

std::string WriteCertificate(const ErasureCertificate& certificate, const std::string& folder, const std::string& stem,
                             CertificateOwner owner, std::string& error) {
  // The settings and the key are root's; they are read before the identity changes.
  CertificateConfig config;
  std::string keyPath;
  if (!LoadCertificateConfig(CertificateSettings{}.ConfigFolder, config, error)) {
    return {};
  }
  const std::optional<report::SigningKey> key = LoadSigningKey({}, config, true, keyPath, error);
  if (!key) {
    return {};
  }
  // The folder is entered with the user's rights only, so root never writes where the user
  // could not.
  std::optional<platform::ScopedFileIdentity> identity;
  if (owner == CertificateOwner::DeskUser) {
    const std::optional<UserAccount> user = platform::DeskUser(platform::ProcessEnvironment());
    if (user && platform::ActsForAnotherUser(*user)) {
      identity.emplace(*user);
      if (!identity->Ok()) {
        error = "the files could not be written as " + user->Name;
        return {};
      }
    }
  }
  std::unique_ptr<platform::DirectorySink> sink = platform::DirectorySink::Open(folder, error);
  if (!sink) {
    return {};
  }
  CertificateOutput output{std::move(sink), *key, config.Attestation};
  return WriteCertificate(certificate, output, stem, error);
}

std::string CertificateStem(const ErasureCertificate& certificate, std::time_t ended) {
  return CertificateFileStem(certificate.Drive.Serial, platform::UtcStamp(ended));
}

std::pair<std::string, std::string> SplitReportPath(const std::string& pdfPath) {
  const auto slash = pdfPath.find_last_of('/');
  std::string folder = slash == std::string::npos ? "." : pdfPath.substr(0, slash);
  std::string stem = slash == std::string::npos ? pdfPath : pdfPath.substr(slash + 1);
  if (stem.size() > 4 && stem.compare(stem.size() - 4, 4, ".pdf") == 0) {
    stem.resize(stem.size() - 4);
  }
  return {folder.empty() ? std::string("/") : folder, stem};
}

}  // namespace vellumar::ops

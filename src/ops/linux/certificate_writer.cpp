#include "ops/linux/certificate_writer.h"

#include <optional>

#include "platform/linux/host/certificate_facts.h"
#include "platform/linux/host/directory_sink.h"
#include "platform/linux/host/user_account.h"
#include "platform/linux/host/user_files.h"
#include "report/certificate_files.h"

namespace vellumar::ops {

std::string WriteCertificate(const ErasureCertificate& certificate, const std::string& folder, const std::string& stem,
                             CertificateOwner owner, std::string& error) {
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
  platform::DirectorySink sink(folder);
  return report::WriteCertificateFiles(certificate, stem, sink, error);
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

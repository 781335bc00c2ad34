#pragma once

#include <sys/types.h>

#include <optional>
#include <string>

#include "devices/certificate/certificate.h"

namespace vellumar::platform {

// Writes certificate files into one folder: new files only (an existing name is an error), the
// name's last part never followed as a link, and optionally handed to an owner, so a file
// written as root for a user belongs to that user.
class DirectorySink final : public vellumar::CertificateSink {
 public:
  explicit DirectorySink(std::string folder) : folder_(std::move(folder)) {}
  void SetOwner(uid_t uid, gid_t gid) { owner_ = std::pair{uid, gid}; }
  const std::string& Folder() const { return folder_; }

  bool WriteFile(const std::string& name, const std::string& bytes, std::string& error) override;
  bool Exists(const std::string& name) override;

 private:
  std::string folder_;
  std::optional<std::pair<uid_t, gid_t>> owner_;
};

// Empty when `folder` is a folder this process can open; else why not.
std::string CheckCertificateFolder(const std::string& folder);

}  // namespace vellumar::platform

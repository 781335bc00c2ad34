#pragma once

#include <sys/types.h>

#include <memory>
#include <optional>
#include <string>

#include "devices/certificate/certificate.h"
#include "platform/linux/io/unique_fd.h"

namespace vellumar::platform {

// Writes certificate files into one folder, held open from the moment it was checked, so the
// files land in the folder that was checked whatever happens to its path meanwhile. New files
// only (see NewFile), all of a certificate or none, and optionally handed to an owner, so a file
// written as root for a user belongs to that user.
class DirectorySink final : public vellumar::CertificateSink {
 public:
  // Opens `folder` and tries it: refused (null, with `error`) when it is a link, when others may
  // write to it and its sticky bit is not set (they could replace the certificate), or when a
  // file cannot be created and removed in it (read-only, full, no permission).
  static std::unique_ptr<DirectorySink> Open(const std::string& folder, std::string& error);

  void SetOwner(uid_t uid, gid_t gid) { owner_ = std::pair{uid, gid}; }
  const std::string& Folder() const { return folder_; }

  bool WriteFiles(const std::vector<vellumar::CertificateFile>& files, std::string& error) override;
  bool Exists(const std::string& name) override;

 private:
  DirectorySink(std::string folder, UniqueFd dir) : folder_(std::move(folder)), dir_(std::move(dir)) {}

  std::string folder_;
  UniqueFd dir_;
  std::optional<std::pair<uid_t, gid_t>> owner_;
};

}  // namespace vellumar::platform

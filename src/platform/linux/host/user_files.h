#pragma once

#include <sys/types.h>

#include <cstddef>
#include <optional>
#include <string>

#include "devices/user/agreement.h"
#include "devices/user/user_session.h"

namespace vellumar::platform {

// Switches the calling thread's file-system identity (fsuid and fsgid) to `user` for its
// lifetime. Only this thread is affected, so the run's worker and Qt's threads keep root's
// identity. Supplementary groups are not switched: files in the user's own folders need none.
class ScopedFileIdentity {
 public:
  explicit ScopedFileIdentity(const vellumar::UserAccount& user);
  ~ScopedFileIdentity();
  ScopedFileIdentity(const ScopedFileIdentity&) = delete;
  ScopedFileIdentity& operator=(const ScopedFileIdentity&) = delete;

  // False when the switch did not take (the process is not root): nothing may be touched then.
  bool Ok() const { return ok_; }

 private:
  bool switched_ = false;
  bool ok_ = false;
  uid_t savedUid_ = 0;
  gid_t savedGid_ = 0;
};

// Small files in a user's folders, handled as that user: never through a link at the file's
// own name (O_NOFOLLOW), only regular files, never blocking on a FIFO, and reading no more than
// asked. Missing folders are created by the user with mode 0700, so they belong to the user.
// Without an owner, or when the owner is the process's own user, no identity is switched.
class UserFiles final : public vellumar::UserFileAccess {
 public:
  explicit UserFiles(std::optional<vellumar::UserAccount> owner = std::nullopt);

  std::optional<std::string> ReadSmallFile(const std::string& path, std::size_t maxBytes) override;
  bool WriteSmallFile(const std::string& path, const std::string& bytes) override;

  // The same write with a reason on failure and the file's mode, for other writers (reports,
  // certificates). An existing file is replaced in place only when it is a regular file that
  // belongs to the owner.
  bool WriteFile(const std::string& path, const std::string& bytes, mode_t mode, std::string& error);

 private:
  std::optional<vellumar::UserAccount> owner_;
};

}  // namespace vellumar::platform

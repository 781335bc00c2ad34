#pragma once

#include <sys/types.h>

#include <string>
#include <utility>

#include "platform/linux/io/unique_fd.h"

namespace vellumar::platform {

// A file made new in an open folder and named only once it is whole: it starts unnamed
// (O_TMPFILE) and is linked at the end, so nobody can plant, open or find it half-written under
// its name. Where the file system has no unnamed files (vfat, some network file systems) it is
// created under its name at once, exclusively and never through a link, and removed again when
// it is discarded.
class NewFile {
 public:
  // `folder` must outlive the file. Check Ok(); on failure errno tells why.
  NewFile(int folder, std::string name, mode_t mode);
  NewFile(NewFile&& other) noexcept;
  NewFile& operator=(NewFile&&) noexcept = delete;
  NewFile(const NewFile&) = delete;
  NewFile& operator=(const NewFile&) = delete;
  ~NewFile() = default;

  bool Ok() const { return static_cast<bool>(fd_); }
  int Fd() const { return fd_.Get(); }
  const std::string& Name() const { return name_; }

  // Writes all of `bytes` and flushes them to the medium; false with errno set.
  bool Write(const std::string& bytes);
  // Gives the file its name; false with errno set (EEXIST when the name is taken).
  bool Publish();
  // Takes the name away again, if this file had got it.
  void Discard();

 private:
  int folder_;
  std::string name_;
  UniqueFd fd_;
  bool named_ = false;
};

}  // namespace vellumar::platform

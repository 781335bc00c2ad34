#pragma once

#include <unistd.h>

#include <utility>

namespace vellumar::platform {

// Owns one file descriptor and closes it exactly once: when the holder goes, takes another one
// or is told to. A moved-from holder owns nothing, so a number the kernel has handed out again
// is never closed behind its new owner's back.
class UniqueFd {
 public:
  UniqueFd() = default;
  explicit UniqueFd(int fd) : fd_(fd) {}
  ~UniqueFd() { Reset(); }
  UniqueFd(UniqueFd&& other) noexcept : fd_(other.Release()) {}
  UniqueFd& operator=(UniqueFd&& other) noexcept {
    Reset(other.Release());
    return *this;
  }
  UniqueFd(const UniqueFd&) = delete;
  UniqueFd& operator=(const UniqueFd&) = delete;

  int Get() const { return fd_; }
  explicit operator bool() const { return fd_ >= 0; }

  // Gives the descriptor up without closing it; the holder is empty afterwards.
  int Release() { return std::exchange(fd_, -1); }

  // Closes the descriptor held, if any, and takes `fd` (-1: none).
  void Reset(int fd = -1) {
    const int old = std::exchange(fd_, fd);
    if (old >= 0 && old != fd) {
      ::close(old);
    }
  }

  // Closes now and tells how that went, for a file whose last write can fail only here:
  // 0, or -1 with errno set (EBADF when nothing was held).
  int Close() { return ::close(Release()); }

 private:
  int fd_ = -1;
};

}  // namespace vellumar::platform

#include "platform/linux/read_ahead.h"

#include <unistd.h>

#include <cerrno>

namespace vellumar::platform {

RawRead PreadFully(int fd, std::int64_t offset, std::uint8_t* data, std::int64_t length) {
  RawRead result;
  while (result.Read < length) {
    const ssize_t got = ::pread(fd, data + result.Read, static_cast<std::size_t>(length - result.Read),
                                static_cast<off_t>(offset + result.Read));
    if (got < 0 && errno == EINTR) {
      continue;
    }
    if (got <= 0) {
      result.Error = got < 0 ? errno : 0;
      break;
    }
    result.Read += got;
  }
  return result;
}

ReadAhead::ReadAhead(int fd) : fd_(fd), thread_([this] { Serve(); }) {}

ReadAhead::~ReadAhead() {
  {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return finished_; });
    quit_ = true;
  }
  changed_.notify_all();
  thread_.join();
}

void ReadAhead::Start(std::int64_t offset, std::uint8_t* data, std::int64_t length) {
  {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return finished_; });
    offset_ = offset;
    data_ = data;
    length_ = length;
    requested_ = true;
    finished_ = false;
  }
  changed_.notify_all();
}

RawRead ReadAhead::Finish() {
  std::unique_lock lock(mutex_);
  changed_.wait(lock, [this] { return finished_; });
  return result_;
}

void ReadAhead::Serve() {
  std::unique_lock lock(mutex_);
  while (true) {
    changed_.wait(lock, [this] { return requested_ || quit_; });
    if (quit_) {
      return;
    }
    requested_ = false;
    const std::int64_t offset = offset_;
    std::uint8_t* const data = data_;
    const std::int64_t length = length_;
    lock.unlock();
    const RawRead result = PreadFully(fd_, offset, data, length);
    lock.lock();
    result_ = result;
    finished_ = true;
    changed_.notify_all();
  }
}

}  // namespace vellumar::platform

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

ReadLane::ReadLane(int fd) : fd_(fd), thread_([this] { Serve(); }) {}

ReadLane::~ReadLane() {
  {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return finished_; });
    quit_ = true;
  }
  changed_.notify_all();
  thread_.join();
}

void ReadLane::Start(std::int64_t offset, std::uint8_t* data, std::int64_t length) {
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

RawRead ReadLane::Finish() {
  std::unique_lock lock(mutex_);
  changed_.wait(lock, [this] { return finished_; });
  return result_;
}

void ReadLane::Serve() {
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

ReadAhead::ReadAhead(int fd) {
  for (std::unique_ptr<ReadLane>& lane : lanes_) {
    lane = std::make_unique<ReadLane>(fd);
  }
}

void ReadAhead::Start(std::int64_t offset, std::uint8_t* data, std::int64_t length) {
  // Pieces of whole 64 KiB units, so each stays aligned for direct I/O; the last takes the rest.
  constexpr std::int64_t kUnit = 65'536;
  const std::int64_t piece = (length / static_cast<std::int64_t>(kLanes)) / kUnit * kUnit;
  std::int64_t at = 0;
  for (std::size_t lane = 0; lane < kLanes; ++lane) {
    if (piece == 0) {
      lengths_[lane] = lane == 0 ? length : 0;  // too short to share
    } else {
      lengths_[lane] = lane + 1 == kLanes ? length - at : piece;
    }
    if (lengths_[lane] > 0) {
      lanes_[lane]->Start(offset + at, data + at, lengths_[lane]);
    }
    at += lengths_[lane];
  }
}

RawRead ReadAhead::Finish() {
  RawRead total;
  bool whole = true;
  for (std::size_t lane = 0; lane < kLanes; ++lane) {
    if (lengths_[lane] == 0) {
      continue;
    }
    const RawRead part = lanes_[lane]->Finish();
    if (!whole) {
      continue;  // every lane is waited for, but only an unbroken run from the start counts
    }
    total.Read += part.Read;
    if (part.Read < lengths_[lane]) {
      total.Error = part.Error;
      whole = false;
    }
  }
  return total;
}

}  // namespace vellumar::platform

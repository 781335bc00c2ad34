#pragma once

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>

#include "platform/linux/read_only_device.h"

namespace vellumar::platform {

// One read at a time on a helper thread, with pread(2) so the descriptor's position is left
// alone. The owner must destroy it before closing the descriptor: the destructor waits for
// the read in flight and joins the thread.
class ReadAhead {
 public:
  explicit ReadAhead(int fd);
  ~ReadAhead();
  ReadAhead(const ReadAhead&) = delete;
  ReadAhead& operator=(const ReadAhead&) = delete;

  // Starts one read; a read still in flight is waited for first.
  void Start(std::int64_t offset, std::uint8_t* data, std::int64_t length);
  // Waits for the read started last.
  RawRead Finish();

 private:
  void Serve();

  int fd_;
  std::mutex mutex_;
  std::condition_variable changed_;
  bool requested_ = false;
  bool finished_ = true;
  bool quit_ = false;
  std::int64_t offset_ = 0;
  std::uint8_t* data_ = nullptr;
  std::int64_t length_ = 0;
  RawRead result_;
  std::thread thread_;
};

// pread(2) until `length` bytes arrived, the device ended or a read failed.
RawRead PreadFully(int fd, std::int64_t offset, std::uint8_t* data, std::int64_t length);

}  // namespace vellumar::platform

#pragma once

#include <array>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>

#include "platform/linux/read_only_device.h"

namespace vellumar::platform {

// One read on its own helper thread, with pread(2) so the descriptor's position is left alone.
// The owner must destroy it before closing the descriptor: the destructor waits for the read in
// flight and joins the thread.
class ReadLane {
 public:
  explicit ReadLane(int fd);
  ~ReadLane();
  ReadLane(const ReadLane&) = delete;
  ReadLane& operator=(const ReadLane&) = delete;

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

// One read at a time in the background, carried as a few pieces read side by side: a disk
// delivers a large read much faster when several requests are in flight, and the pieces keep
// that many in flight with the memory of one block.
class ReadAhead {
 public:
  explicit ReadAhead(int fd);

  // Starts one read; a read still in flight is waited for first.
  void Start(std::int64_t offset, std::uint8_t* data, std::int64_t length);
  // Waits for the read started last: the bytes that arrived in one run from its start, and the
  // error of the first piece that fell short.
  RawRead Finish();

 private:
  static constexpr std::size_t kLanes = 4;
  std::array<std::unique_ptr<ReadLane>, kLanes> lanes_;
  std::array<std::int64_t, kLanes> lengths_{};
};

// pread(2) until `length` bytes arrived, the device ended or a read failed.
RawRead PreadFully(int fd, std::int64_t offset, std::uint8_t* data, std::int64_t length);

}  // namespace vellumar::platform

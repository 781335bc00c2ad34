#pragma once

#include <fcntl.h>
#include <unistd.h>

#include <vector>

#include "devices/catalogue/drive_watch.h"

namespace vellumar::testing {

// Drives that come and go on the test's word. An announcement makes a pipe readable, as udev's
// socket becomes readable, so the window hears of it the way it hears of real ones.
class FakeDriveWatch final : public vellumar::DriveWatch {
 public:
  explicit FakeDriveWatch(std::vector<vellumar::PresentDisk> disks) : disks_(std::move(disks)) {
    [[maybe_unused]] const int made = ::pipe2(pipe_, O_NONBLOCK | O_CLOEXEC);
  }
  ~FakeDriveWatch() override {
    ::close(pipe_[0]);
    ::close(pipe_[1]);
  }

  void Announce(std::vector<vellumar::PresentDisk> disks) {
    disks_ = std::move(disks);
    [[maybe_unused]] const ssize_t written = ::write(pipe_[1], "!", 1);
  }

  int AnnouncementHandle() const override { return pipe_[0]; }
  bool Poll(std::vector<vellumar::PresentDisk>& disks) override {
    char byte = 0;
    bool announced = false;
    while (::read(pipe_[0], &byte, 1) == 1) {
      announced = true;
    }
    disks = disks_;
    return announced;
  }

 private:
  int pipe_[2] = {-1, -1};
  std::vector<vellumar::PresentDisk> disks_;
};

}  // namespace vellumar::testing

#pragma once

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <optional>
#include <thread>

#include "devices/firmware/firmware_erase.h"

namespace vellumar {

// Shows a firmware command's progress: a fraction from the drive's status, or, for a command
// that blocks until it is done, the elapsed time against the drive's estimate.
class FirmwareProgress {
 public:
  FirmwareProgress(FirmwareRunContext& context, std::optional<std::uint32_t> estimateMinutes);
  ~FirmwareProgress();
  FirmwareProgress(const FirmwareProgress&) = delete;
  FirmwareProgress& operator=(const FirmwareProgress&) = delete;

  // The drive reported `progress` of 65,536.
  void Fraction(std::uint16_t progress);
  // Redraws the elapsed time every second on a thread of its own until Stop, while the caller
  // waits in a command that does not return before the erase is done.
  void TickWhileBlocked();
  void Stop();
  void Finished();
  std::int64_t ElapsedSeconds();

 private:
  void Elapsed();
  void Show(int percent, const std::string& position);

  FirmwareRunContext& context_;
  std::optional<std::uint32_t> estimateMinutes_;
  std::int64_t startMs_ = 0;
  std::mutex mutex_;
  std::condition_variable wake_;
  bool stop_ = false;
  std::thread ticker_;
};

}  // namespace vellumar

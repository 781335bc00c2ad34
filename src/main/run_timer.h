#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace vellumar::desktop {

// "1:02:03": hours, minutes and seconds of `milliseconds`, cut to whole seconds.
std::string ClockText(std::int64_t milliseconds);

// The run's elapsed time and an estimate of what is left of its current phase (the erase, then
// the check), from readings of a steady clock in milliseconds.
class RunTimer {
 public:
  void Start(std::int64_t now);
  // A new phase reads or writes at its own speed: the estimate starts over.
  void StartPhase(std::int64_t now);
  // `done` of `total` bytes of the current phase are behind.
  void Progress(std::int64_t now, std::int64_t done, std::int64_t total);
  // The run ended: the elapsed time stays and no estimate is shown.
  void Stop(std::int64_t now);

  // "Elapsed: 0:01:05", with "   Remaining: about 0:12:30" once the phase's speed is known;
  // empty before the first run.
  std::string Text(std::int64_t now) const;

 private:
  std::optional<std::int64_t> start_;
  std::optional<std::int64_t> stop_;
  std::int64_t phaseStart_ = 0;
  // The estimate and when it was made; it counts down between progress reports.
  std::optional<std::int64_t> remaining_;
  std::int64_t estimatedAt_ = 0;
};

}  // namespace vellumar::desktop

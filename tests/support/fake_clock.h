#pragma once

#include <cstdint>
#include <ctime>
#include <deque>

#include "devices/base/clock.h"

namespace vellumar::testing {

// A clock that advances by a fixed step on every reading, or plays back scripted readings;
// its wall time is always 2024-05-01 13:45:07.
class FakeClock final : public vellumar::Clock {
 public:
  explicit FakeClock(std::int64_t start = 1'000'000, std::int64_t step = 1) : now_(start), step_(step) {}

  std::int64_t NowMs() override {
    if (!script_.empty()) {
      now_ = script_.front();
      script_.pop_front();
      return now_;
    }
    now_ += step_;
    return now_;
  }

  std::tm LocalTime() override {
    std::tm moment{};
    moment.tm_year = 124;
    moment.tm_mon = 4;
    moment.tm_mday = 1;
    moment.tm_hour = 13;
    moment.tm_min = 45;
    moment.tm_sec = 7;
    return moment;
  }

  void Script(std::deque<std::int64_t> readings) { script_ = std::move(readings); }
  void SetStep(std::int64_t step) { step_ = step; }

 private:
  std::int64_t now_;
  std::int64_t step_;
  std::deque<std::int64_t> script_;
};

}  // namespace vellumar::testing

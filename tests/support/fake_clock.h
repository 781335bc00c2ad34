#pragma once

#include <cstdint>
#include <ctime>
#include <deque>

#include "devices/clock.h"

namespace vellumar::testing {

// A clock that advances by a fixed step on every reading, or plays back scripted readings.
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

  std::tm LocalTime() override { return moment_; }

  void Script(std::deque<std::int64_t> readings) { script_ = std::move(readings); }
  void SetStep(std::int64_t step) { step_ = step; }
  void SetMoment(const std::tm& moment) { moment_ = moment; }

 private:
  std::int64_t now_;
  std::int64_t step_;
  std::deque<std::int64_t> script_;
  std::tm moment_ = [] {
    std::tm t{};
    t.tm_year = 124;
    t.tm_mon = 4;
    t.tm_mday = 1;
    t.tm_hour = 13;
    t.tm_min = 45;
    t.tm_sec = 7;
    return t;
  }();
};

}  // namespace vellumar::testing

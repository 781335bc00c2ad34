#include "main/run_timer.h"

#include <algorithm>
#include <cstdio>

namespace vellumar::desktop {

namespace {

// Below this the speed of a phase says too little to extrapolate from.
constexpr std::int64_t kSettlingMs = 2'000;

}  // namespace

std::string ClockText(std::int64_t milliseconds) {
  const std::int64_t seconds = std::max<std::int64_t>(milliseconds, 0) / 1'000;
  char text[32];
  std::snprintf(text, sizeof text, "%lld:%02lld:%02lld", static_cast<long long>(seconds / 3'600),
                static_cast<long long>(seconds / 60 % 60), static_cast<long long>(seconds % 60));
  return text;
}

void RunTimer::Start(std::int64_t now) {
  start_ = now;
  stop_.reset();
  StartPhase(now);
}

void RunTimer::StartPhase(std::int64_t now) {
  phaseStart_ = now;
  remaining_.reset();
}

void RunTimer::Progress(std::int64_t now, std::int64_t done, std::int64_t total) {
  const std::int64_t spent = now - phaseStart_;
  if (done <= 0 || total <= 0 || spent < kSettlingMs) {
    return;
  }
  const double left = static_cast<double>(spent) * static_cast<double>(std::max<std::int64_t>(total - done, 0)) /
                      static_cast<double>(done);
  remaining_ = static_cast<std::int64_t>(left);
  estimatedAt_ = now;
}

void RunTimer::Stop(std::int64_t now) {
  if (start_ && !stop_) {
    stop_ = now;
  }
  remaining_.reset();
}

std::string RunTimer::Text(std::int64_t now) const {
  if (!start_) {
    return {};
  }
  std::string text = "Elapsed: " + ClockText(stop_.value_or(now) - *start_);
  if (remaining_ && !stop_) {
    // Rounded up: "0:00:00" only when nothing is left.
    const std::int64_t left = std::max<std::int64_t>(*remaining_ - (now - estimatedAt_), 0);
    text += "   Remaining: about " + ClockText(left + 999);
  }
  return text;
}

}  // namespace vellumar::desktop

#include "platform/linux/host/system_clock.h"

#include <chrono>
#include <ctime>

namespace vellumar::platform {

std::int64_t SystemClock::NowMs() {
  const auto now = std::chrono::system_clock::now();
  return std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count();
}

std::tm SystemClock::LocalTime() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  ::localtime_r(&now, &local);
  return local;
}

}  // namespace vellumar::platform

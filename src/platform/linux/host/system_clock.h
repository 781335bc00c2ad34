#pragma once

#include "devices/base/clock.h"

namespace vellumar::platform {

// The real local wall clock.
class SystemClock final : public vellumar::Clock {
 public:
  std::int64_t NowMs() override;
  std::tm LocalTime() override;
};

}  // namespace vellumar::platform

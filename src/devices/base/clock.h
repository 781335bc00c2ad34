#pragma once

#include <cstdint>
#include <ctime>

namespace vellumar {

// The local wall clock. It may step backwards (a time adjustment); callers cope with that.
class Clock {
 public:
  virtual ~Clock() = default;
  // Local date and time of day in milliseconds, rounded to a whole number.
  virtual std::int64_t NowMs() = 0;
  // The same moment broken down into local calendar fields, for timestamps.
  virtual std::tm LocalTime() = 0;
};

}  // namespace vellumar

#include "devices/base/checked_math.h"

#include <stdexcept>

namespace vellumar {

std::int64_t CheckedMul(std::int64_t a, std::int64_t b) {
  std::int64_t result = 0;
  if (__builtin_mul_overflow(a, b, &result)) {
    throw std::overflow_error("Integer overflow");
  }
  return result;
}

std::int64_t CheckedAdd(std::int64_t a, std::int64_t b) {
  std::int64_t result = 0;
  if (__builtin_add_overflow(a, b, &result)) {
    throw std::overflow_error("Integer overflow");
  }
  return result;
}

}  // namespace vellumar

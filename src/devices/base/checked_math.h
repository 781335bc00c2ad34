#pragma once

#include <cstdint>

namespace vellumar {

// Signed 64-bit arithmetic that raises std::overflow_error instead of wrapping, so a
// nonsense drive size can never turn into a small, plausible one.
std::int64_t CheckedMul(std::int64_t a, std::int64_t b);
std::int64_t CheckedAdd(std::int64_t a, std::int64_t b);

}  // namespace vellumar

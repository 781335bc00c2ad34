#include "ops/sample_seed.h"

#include <random>

namespace vellumar::ops {

std::uint64_t NewSampleSeed() {
  std::random_device entropy;
  const std::uint64_t high = entropy();
  return ((high << 32U) | entropy()) & ((std::uint64_t{1} << 53U) - 1U);
}

}  // namespace vellumar::ops

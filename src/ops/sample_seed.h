#pragma once

#include <cstdint>

namespace vellumar::ops {

// A seed for a new sample, from the system's entropy source; below 2^53, so any JSON reader
// keeps it exact.
std::uint64_t NewSampleSeed();

}  // namespace vellumar::ops

#pragma once

#include <cstdint>

namespace vellumar {

// One mebibyte, the unit the buffers, pieces and wiped edges are counted in.
inline constexpr std::int64_t kMiB = 1'048'576;

}  // namespace vellumar

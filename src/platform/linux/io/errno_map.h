#pragma once

#include <cstdint>

namespace vellumar::platform {

// Maps a failed write's errno onto the format log's error codes.
std::uint32_t MapWriteErrno(int error);

}  // namespace vellumar::platform

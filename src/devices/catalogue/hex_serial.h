#pragma once

#include <cstddef>
#include <string>

#include "devices/base/log_sinks.h"

namespace vellumar {

// A serial number written as 40 hexadecimal digits (20 bytes).
inline constexpr std::size_t kHexSerialLength = 40;

// Some drivers hand the serial over as 40 hexadecimal digits, two for each of its 20 characters
// and the characters of every pair swapped. Decodes such a serial; any other text stays as it is.
// Stage 1 reads each pair of digits as a byte; when that does not give a plain alphanumeric
// serial, stage 2 reads them with the digits of each pair swapped as well.
std::string DecodeHexSerial(const std::string& serial, LogSinks& logs);

}  // namespace vellumar

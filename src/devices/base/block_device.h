#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace vellumar {

// Buffers for direct I/O start on this boundary.
inline constexpr std::size_t kDirectIoAlignment = 4096;

// Error codes of the format log. The platform maps its native errors onto these numbers.
inline constexpr std::uint32_t kErrorNone = 0;
inline constexpr std::uint32_t kErrorFileNotFound = 2;
inline constexpr std::uint32_t kErrorWriteProtect = 19;
inline constexpr std::uint32_t kErrorNotReady = 21;
inline constexpr std::uint32_t kErrorGeneric = 31;
inline constexpr std::uint32_t kErrorHandleEof = 38;
inline constexpr std::uint32_t kErrorDevNotExist = 55;
inline constexpr std::uint32_t kErrorSemTimeout = 121;
inline constexpr std::uint32_t kErrorIoDevice = 1117;

// The text of a code in the format log, or empty when the code has none.
const char* FormatErrorText(std::uint32_t code);

// Codes after which a run cannot go on: the device is gone.
bool IsAbortCode(std::uint32_t code);

struct WriteOutcome {
  std::int64_t Written = 0;
  // Why fewer bytes than asked were written; kErrorNone for a short write without an error.
  std::uint32_t ErrorCode = kErrorNone;
};

struct ReadOutcome {
  std::int64_t Read = 0;
  // Why fewer bytes than asked were read; kErrorNone for a short read at the end of the device.
  std::uint32_t ErrorCode = kErrorNone;
};

// The raw block device the format run writes through.
class BlockDevice {
 public:
  virtual ~BlockDevice() = default;
  // Absolute positioning: the new position, or -1 on failure.
  virtual std::int64_t Seek(std::int64_t offset) = 0;
  // One synchronous write at the current position.
  virtual WriteOutcome Write(const std::uint8_t* data, std::int64_t length) = 0;
  // Puts everything written on the medium: kErrorNone, or the code of the failure.
  virtual std::uint32_t Flush() = 0;
  // One synchronous read of `length` bytes at `offset` for read-back verification, leaving the
  // write position alone. Several threads may read at once, each into its own buffer, which is
  // aligned for direct I/O. A device that cannot read says so with an error code.
  virtual ReadOutcome ReadAt(std::int64_t /*offset*/, std::uint8_t* /*data*/, std::int64_t /*length*/) {
    return {0, kErrorGeneric};
  }
  // Asks the system to read the partition table again through this handle after a run: why it
  // could not, or empty. A device without a partition table of its own (an image file) leaves it.
  virtual std::string RereadPartitionTable() { return {}; }
};

}  // namespace vellumar

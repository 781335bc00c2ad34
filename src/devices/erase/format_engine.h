#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include "devices/base/block_device.h"
#include "devices/base/clock.h"
#include "devices/base/drive_record.h"
#include "devices/base/log_sinks.h"
#include "devices/base/units.h"

namespace vellumar {

inline constexpr std::int64_t kZeroBufferSize = 32 * kMiB;
inline constexpr std::int64_t kFirstBlockSize = 65'536;
inline constexpr std::int64_t kQuickWipeHead = 10'240'000;
inline constexpr std::int64_t kQuickWipeTail = kMiB;
// Past this many unwritable sectors in one run, failing pieces are no longer split into sectors.
inline constexpr std::int64_t kSectorRetryLimit = 1'000;

// What the progress displays show. Owned by the front end and kept between runs: the speed
// text of a run that never measured one is the previous run's text.
struct FormatDisplay {
  int BarPosition = 0;  // 0..100
  std::string PercentText;
  std::string PositionText;
  std::string SpeedText;
  // Bytes of the current phase done and to do, for an estimate of the time left.
  std::int64_t DoneBytes = 0;
  std::int64_t TotalBytes = 0;
};

// What a run is doing: its progress group names it. Firmware methods report Sanitizing.
enum class RunPhase { Formatting, VerifyingFull, VerifyingSample, Sanitizing };

class FormatObserver {
 public:
  virtual ~FormatObserver() = default;
  // Called once at the start of a run and once per block before its seek: the moment a
  // request to stop can arrive and still let the current block be written.
  virtual void OnYield() {}
  // The displays changed.
  virtual void OnProgress(const FormatDisplay& /*display*/) {}
  // A phase begins; the displays that follow belong to it.
  virtual void OnPhase(RunPhase /*phase*/) {}
};

struct ByteRange {
  std::int64_t Begin = 0;
  std::int64_t End = 0;
  bool operator==(const ByteRange&) const = default;
};

enum class FormatOutcome { Completed, Cancelled, Terminated };

struct FormatResult {
  FormatOutcome Outcome = FormatOutcome::Completed;
  std::int64_t Position = 0;          // device offset where the run stopped
  std::int64_t ErrorLines = 0;        // format and seek error lines written
  std::int64_t UnwrittenSectors = 0;  // sectors that kept their old content
  // Where those sectors are, adjacent ranges joined; a read-back check expects them to differ.
  std::vector<ByteRange> UnwrittenExtents;
  // Why a terminated run ended ("Device was unplugged"); empty for the other outcomes.
  std::string Why;
};

struct FormatContext {
  BlockDevice& Device;
  Clock& WallClock;
  LogSinks& Logs;
  std::atomic<bool>& StopRequested;
  FormatDisplay& Display;
  FormatObserver& Observer;
  // The exact length in bytes when it is more than LBA x SectorSize: an image file whose size
  // is not a whole number of sectors still has its last bytes erased.
  std::int64_t DeviceBytes = 0;
};

// The byte ranges a run covers: the whole device, or for a quick wipe the first 10,240,000
// bytes and the last 1 MiB (where a GPT keeps its backup table).
std::pair<ByteRange, ByteRange> FormatRanges(std::int64_t total, bool quickWipe);

// One zero-fill run over the drive described by `drive`. Synchronous; the caller chooses the thread.
FormatResult FormatDevice(bool QuickWipe, const TIdentifyDeviceData& drive, FormatContext& context);

// Positions the device; -1 on failure, never a partial or previous position.
std::int64_t SeekDevice(BlockDevice& device, std::int64_t offset);

}  // namespace vellumar

#include "devices/erase/format_engine.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "devices/base/checked_math.h"
#include "devices/base/text_format.h"

namespace vellumar {

namespace {

constexpr std::int64_t kPieceSize = 65'536;

struct FreeDeleter {
  void operator()(std::uint8_t* p) const { std::free(p); }
};
using ZeroBuffer = std::unique_ptr<std::uint8_t, FreeDeleter>;

// Aligned for direct I/O; filled once and never written again.
ZeroBuffer AllocateZeroBuffer() {
  void* raw = std::aligned_alloc(kDirectIoAlignment, static_cast<std::size_t>(kZeroBufferSize));
  if (raw == nullptr) {
    throw std::bad_alloc();
  }
  std::memset(raw, 0, static_cast<std::size_t>(kZeroBufferSize));
  return ZeroBuffer(static_cast<std::uint8_t*>(raw));
}

// Rounded to the nearest integer, ties to even.
std::int64_t RoundEven(double value) { return static_cast<std::int64_t>(std::nearbyint(value)); }

enum class BlockVerdict { Written, Skipped, Abort };

// One pass of zeros over the drive (or its head and tail for a quick wipe), block by block.
class ZeroFillPass {
 public:
  ZeroFillPass(const TIdentifyDeviceData& drive, FormatContext& context)
      : drive_(drive), ctx_(context), sectorSize_(drive.SectorSize > 0 ? drive.SectorSize : 512) {}

  FormatResult Run(bool quickWipe);

 private:
  void AdaptBlockSize();
  void ShowPosition(std::int64_t blockSize);
  void ShowSpeed();
  BlockVerdict WriteBlock(std::int64_t offset, std::int64_t length);
  // One seek and one write, and how they went.
  struct Attempt {
    enum Kind { Written, SeekFailed, Failed, Unplugged, WriteProtected } Result;
    std::uint32_t Code;
  };
  Attempt WriteAt(std::int64_t offset, std::int64_t length);
  BlockVerdict LogUnplugged(std::int64_t offset, std::uint32_t code);
  BlockVerdict LogWriteProtected(std::int64_t offset, std::uint32_t code);
  BlockVerdict RewriteInPieces(std::int64_t offset, std::int64_t length);
  BlockVerdict RewriteSectors(std::int64_t offset, std::int64_t length);
  void LogWriteError(std::int64_t offset, std::uint32_t code);
  void MarkUnwritten(std::int64_t offset, std::int64_t length);
  void Report(bool flushFailed);
  std::string OffsetAndLba() const;
  bool StopSeen() const { return ctx_.StopRequested.load(); }

  const TIdentifyDeviceData& drive_;
  FormatContext& ctx_;
  const std::int64_t sectorSize_;
  ZeroBuffer buffer_;
  std::int64_t covered_ = 0;  // bytes the run is to write, over all its ranges
  std::int64_t done_ = 0;     // bytes passed so far, written or skipped
  std::int64_t position_ = 0;
  std::int64_t blockSize_ = kFirstBlockSize;
  std::int64_t blockCount_ = 0;
  std::int64_t startTime_ = 0;
  std::int64_t lastCheckTime_ = 0;
  bool aborted_ = false;
  std::int64_t blockUnwritten_ = 0;
  std::int64_t blockFirstUnwritten_ = -1;
  FormatResult result_;
};

FormatResult ZeroFillPass::Run(bool quickWipe) {
  buffer_ = AllocateZeroBuffer();
  ctx_.Observer.OnPhase(RunPhase::Formatting);
  ctx_.Observer.OnYield();

  const std::int64_t total = std::max(CheckedMul(drive_.LBA, drive_.SectorSize), ctx_.DeviceBytes);
  const auto [head, tail] = FormatRanges(total, quickWipe);
  covered_ = (head.End - head.Begin) + (tail.End - tail.Begin);
  startTime_ = ctx_.WallClock.NowMs();

  for (const ByteRange& range : {head, tail}) {
    if (range.End <= range.Begin) {
      continue;
    }
    position_ = range.Begin;
    while (position_ < range.End && !StopSeen()) {
      AdaptBlockSize();
      const std::int64_t length = std::min(blockSize_, range.End - position_);
      ShowPosition(length);
      ctx_.Observer.OnYield();
      if (WriteBlock(position_, length) == BlockVerdict::Abort) {
        aborted_ = true;
        break;
      }
      position_ += length;
      done_ += length;
      ShowSpeed();
    }
    if (aborted_ || StopSeen()) {
      break;
    }
  }
  buffer_.reset();

  // Completion means the zeros are on the medium, not in a cache.
  bool flushFailed = false;
  if (!aborted_) {
    const std::uint32_t code = ctx_.Device.Flush();
    if (code != kErrorNone) {
      LogWriteError(position_, code);
      flushFailed = true;
      const std::string text = FormatErrorText(code);
      result_.Why = "the final flush failed (" + (text.empty() ? std::to_string(code) : text) + ")";
    }
  }
  ctx_.Logs.BenchMarkLog("Average speed: " + ctx_.Display.SpeedText);
  Report(flushFailed);
  result_.Position = position_;
  return result_;
}

void ZeroFillPass::AdaptBlockSize() {
  blockCount_ += 1;
  if (blockCount_ % 10 != 0) {
    return;
  }
  if (lastCheckTime_ == 0) {
    lastCheckTime_ = ctx_.WallClock.NowMs();
    return;
  }
  const std::int64_t now = ctx_.WallClock.NowMs();
  const std::int64_t spent = now - lastCheckTime_;
  lastCheckTime_ = now;
  if (spent < 1000) {
    blockSize_ = std::min(blockSize_ * 2, kZeroBufferSize);
  }
}

void ZeroFillPass::ShowPosition(std::int64_t blockSize) {
  const auto reach = static_cast<double>(done_ + blockSize);
  const std::int64_t percent = std::min<std::int64_t>(RoundEven(reach / static_cast<double>(covered_) * 100.0), 100);
  // Where the block ends on the device: a quick wipe's tail is at the end, not after its head.
  const auto end = static_cast<double>(position_ + blockSize);
  const std::int64_t sector = std::min(RoundEven(end / static_cast<double>(sectorSize_)), drive_.LBA);
  ctx_.Display.BarPosition = static_cast<int>(std::max<std::int64_t>(percent, 0));
  ctx_.Display.PercentText = std::to_string(percent) + "% complete";
  ctx_.Display.PositionText = "Current sector: " + GroupThousands(sector);
  ctx_.Display.DoneBytes = done_;
  ctx_.Display.TotalBytes = covered_;
  ctx_.Observer.OnProgress(ctx_.Display);
}

void ZeroFillPass::ShowSpeed() {
  std::int64_t elapsed = ctx_.WallClock.NowMs() - startTime_;
  if (elapsed < 0) {
    elapsed = 0;
  }
  if (elapsed > 0) {
    const double speed = static_cast<double>(done_) / static_cast<double>(elapsed) / 1000.0;
    ctx_.Display.SpeedText = FormatOneDecimal(speed, ctx_.Logs.Locale()) + " MB/s";
    ctx_.Display.DoneBytes = done_;
    ctx_.Observer.OnProgress(ctx_.Display);
  }
}

ZeroFillPass::Attempt ZeroFillPass::WriteAt(std::int64_t offset, std::int64_t length) {
  if (SeekDevice(ctx_.Device, offset) != offset) {
    return {Attempt::SeekFailed, kErrorNone};
  }
  const WriteOutcome outcome = ctx_.Device.Write(buffer_.get(), length);
  if (outcome.Written == length) {
    return {Attempt::Written, kErrorNone};
  }
  if (IsAbortCode(outcome.ErrorCode)) {
    return {Attempt::Unplugged, outcome.ErrorCode};
  }
  if (outcome.ErrorCode == kErrorWriteProtect) {
    return {Attempt::WriteProtected, outcome.ErrorCode};
  }
  return {Attempt::Failed, outcome.ErrorCode};
}

BlockVerdict ZeroFillPass::LogUnplugged(std::int64_t offset, std::uint32_t code) {
  LogWriteError(offset, code);
  ctx_.Logs.BenchMarkLog("Device was unplugged, aborting...");
  result_.Why = "Device was unplugged";
  return BlockVerdict::Abort;
}

// A write-protected medium refuses every block alike: going on would only log the same line
// for each block (or each sector, once narrowed) and then claim a completed format.
BlockVerdict ZeroFillPass::LogWriteProtected(std::int64_t offset, std::uint32_t code) {
  LogWriteError(offset, code);
  result_.Why = FormatErrorText(code);
  return BlockVerdict::Abort;
}

BlockVerdict ZeroFillPass::WriteBlock(std::int64_t offset, std::int64_t length) {
  const Attempt attempt = WriteAt(offset, length);
  switch (attempt.Result) {
    case Attempt::Written:
      return BlockVerdict::Written;
    case Attempt::SeekFailed:
      ctx_.Logs.BenchMarkLog("Seek error occurred at offset " + GroupThousands(offset));
      result_.ErrorLines += 1;
      return BlockVerdict::Skipped;
    case Attempt::Unplugged:
      return LogUnplugged(offset, attempt.Code);
    case Attempt::WriteProtected:
      return LogWriteProtected(offset, attempt.Code);
    case Attempt::Failed:
      break;
  }
  LogWriteError(offset, attempt.Code);
  // A failed block would otherwise keep up to 32 MiB of old data; only sectors that
  // really cannot be written may keep their content.
  return RewriteInPieces(offset, length);
}

BlockVerdict ZeroFillPass::RewriteInPieces(std::int64_t offset, std::int64_t length) {
  blockUnwritten_ = 0;
  blockFirstUnwritten_ = -1;
  const std::int64_t end = offset + length;
  for (std::int64_t piece = offset; piece < end; piece += kPieceSize) {
    const std::int64_t pieceLength = std::min(kPieceSize, end - piece);
    if (StopSeen()) {
      MarkUnwritten(piece, end - piece);
      break;
    }
    const Attempt attempt = WriteAt(piece, pieceLength);
    if (attempt.Result == Attempt::Unplugged) {
      return LogUnplugged(piece, attempt.Code);
    }
    if (attempt.Result == Attempt::WriteProtected) {
      return LogWriteProtected(piece, attempt.Code);
    }
    if (attempt.Result != Attempt::Written && RewriteSectors(piece, pieceLength) == BlockVerdict::Abort) {
      return BlockVerdict::Abort;
    }
  }
  if (blockUnwritten_ == 0) {
    ctx_.Logs.BenchMarkLog("Sectors left unwritten: 0");
  } else {
    ctx_.Logs.BenchMarkLog("Sectors left unwritten: " + GroupThousands(blockUnwritten_) + " from LBA " +
                           GroupThousands(blockFirstUnwritten_));
  }
  return BlockVerdict::Skipped;
}

BlockVerdict ZeroFillPass::RewriteSectors(std::int64_t offset, std::int64_t length) {
  const std::int64_t end = offset + length;
  for (std::int64_t sector = offset; sector < end; sector += sectorSize_) {
    // A dying disk would take days sector by sector; past the limit the rest is skipped whole.
    if (result_.UnwrittenSectors >= kSectorRetryLimit || StopSeen()) {
      MarkUnwritten(sector, end - sector);
      return BlockVerdict::Skipped;
    }
    const std::int64_t sectorLength = std::min(sectorSize_, end - sector);
    const Attempt attempt = WriteAt(sector, sectorLength);
    if (attempt.Result == Attempt::Unplugged) {
      return LogUnplugged(sector, attempt.Code);
    }
    if (attempt.Result == Attempt::WriteProtected) {
      return LogWriteProtected(sector, attempt.Code);
    }
    if (attempt.Result != Attempt::Written) {
      MarkUnwritten(sector, sectorLength);
    }
  }
  return BlockVerdict::Written;
}

void ZeroFillPass::MarkUnwritten(std::int64_t offset, std::int64_t length) {
  const std::int64_t sectors = (length + sectorSize_ - 1) / sectorSize_;
  if (blockFirstUnwritten_ < 0) {
    blockFirstUnwritten_ = offset / sectorSize_;
  }
  blockUnwritten_ += sectors;
  result_.UnwrittenSectors += sectors;
  std::vector<ByteRange>& extents = result_.UnwrittenExtents;
  if (!extents.empty() && extents.back().End == offset) {
    extents.back().End = offset + length;
  } else {
    extents.push_back({offset, offset + length});
  }
}

void ZeroFillPass::LogWriteError(std::int64_t offset, std::uint32_t code) {
  std::string line = "Format Error occurred at offset " + GroupThousands(offset) + ":   " + std::to_string(code);
  const std::string text = FormatErrorText(code);
  if (!text.empty()) {
    line += " - " + text;
  }
  ctx_.Logs.BenchMarkLog(line);
  result_.ErrorLines += 1;
}

std::string ZeroFillPass::OffsetAndLba() const {
  return GroupThousands(position_) + "    LBA " +
         GroupThousands(RoundEven(static_cast<double>(position_) / static_cast<double>(sectorSize_)));
}

void ZeroFillPass::Report(bool flushFailed) {
  if (aborted_ || flushFailed) {
    ctx_.Logs.BenchMarkLog("Operation terminated at offset " + OffsetAndLba());
    result_.Outcome = FormatOutcome::Terminated;
    ctx_.StopRequested.store(false);
  } else if (StopSeen()) {
    ctx_.Logs.BenchMarkLog("Operation cancelled at offset " + OffsetAndLba());
    result_.Outcome = FormatOutcome::Cancelled;
    ctx_.StopRequested.store(false);
  } else {
    ctx_.Display.BarPosition = 100;
    ctx_.Observer.OnProgress(ctx_.Display);
    ctx_.Logs.BenchMarkLog("Low-level format is complete.");
    result_.Outcome = FormatOutcome::Completed;
  }
}

}  // namespace

std::pair<ByteRange, ByteRange> FormatRanges(std::int64_t total, bool quickWipe) {
  if (!quickWipe || total <= kQuickWipeHead + kQuickWipeTail) {
    return {ByteRange{0, total}, ByteRange{}};
  }
  return {ByteRange{0, kQuickWipeHead}, ByteRange{total - kQuickWipeTail, total}};
}

FormatResult FormatDevice(bool QuickWipe, const TIdentifyDeviceData& drive, FormatContext& context) {
  ZeroFillPass pass(drive, context);
  return pass.Run(QuickWipe);
}

std::int64_t SeekDevice(BlockDevice& device, std::int64_t offset) {
  const std::int64_t position = device.Seek(offset);
  return position < 0 ? -1 : position;
}

}  // namespace vellumar

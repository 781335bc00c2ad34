#include "devices/verification.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>

#include "devices/text_format.h"

namespace vellumar {

namespace {

constexpr std::size_t kBufferAlignment = 4096;
// Two 16 MiB halves: one is checked while the device fills the other. Small enough that the
// block just read is still in the shared cache when it is checked, and with the zero buffer of
// the run gone, well inside the run's memory.
constexpr std::int64_t kReadBlock = std::int64_t{16} * 1'048'576;
constexpr std::int64_t kPieceSize = 65'536;

struct FreeDeleter {
  void operator()(std::uint8_t* p) const { std::free(p); }
};

std::unique_ptr<std::uint8_t, FreeDeleter> AllocateReadBuffer() {
  void* raw = std::aligned_alloc(kBufferAlignment, static_cast<std::size_t>(2 * kReadBlock));
  if (raw == nullptr) {
    throw std::bad_alloc();
  }
  return std::unique_ptr<std::uint8_t, FreeDeleter>(static_cast<std::uint8_t*>(raw));
}

std::string OffsetAndLba(std::int64_t offset, std::int64_t sectorSize) {
  return GroupThousands(offset) + " (LBA " + GroupThousands(offset / sectorSize) + ")";
}

class VerifyRun {
 public:
  VerifyRun(const VerifyRequest& request, FormatContext& context)
      : request_(request), ctx_(context), sectorSize_(request.SectorSize > 0 ? request.SectorSize : 512) {}

  VerifyResult Run();

 private:
  struct Piece {
    std::int64_t Failed;
    std::uint32_t Code;
  };
  bool NextBlock(ByteRange& block);
  ReadOutcome ReadNow(const ByteRange& block);
  bool CheckRead(const ByteRange& block, const ReadOutcome& outcome);
  Piece ReadPiece(std::int64_t offset, std::int64_t length);
  bool Unplugged(std::int64_t offset, std::int64_t end);
  void CheckBlock(std::int64_t offset, std::int64_t length);
  void CountSector(std::int64_t offset, bool unreadable);
  bool KnownUnwritten(std::int64_t offset);
  void MarkUnreadable(std::int64_t offset, std::int64_t length);
  void LogReadError(std::int64_t offset, std::uint32_t code);
  void ShowProgress(std::int64_t reach);
  bool StopSeen() const { return ctx_.StopRequested.load(); }

  const VerifyRequest& request_;
  FormatContext& ctx_;
  const std::int64_t sectorSize_;
  std::unique_ptr<std::uint8_t, FreeDeleter> buffer_;
  std::uint8_t* current_ = nullptr;  // the half that holds the block being checked
  std::size_t extent_ = 0;           // where NextBlock goes on
  std::int64_t cursor_ = -1;
  std::int64_t toRead_ = 0;
  std::int64_t passed_ = 0;  // bytes of the extents passed so far, read or not
  std::int64_t startTime_ = 0;
  std::size_t knownIndex_ = 0;  // the known-unwritten range that the next lookup starts at
  VerifyResult result_;
};

VerifyResult VerifyRun::Run() {
  ctx_.Logs.BenchMarkLog(VerifyStartLine(request_.Method, request_.Seed));
  buffer_ = AllocateReadBuffer();
  for (const ByteRange& extent : request_.Extents) {
    toRead_ += extent.End - extent.Begin;
  }
  startTime_ = ctx_.WallClock.NowMs();
  bool aborted = false;
  bool cancelled = false;
  int half = 0;
  ByteRange block;
  bool have = NextBlock(block);
  bool inFlight = have && ctx_.Device.StartRead(block.Begin, buffer_.get(), block.End - block.Begin);
  while (have) {
    ctx_.Observer.OnYield();
    if (StopSeen()) {
      if (inFlight) {
        ctx_.Device.FinishRead();
      }
      cancelled = true;
      result_.Position = block.Begin;
      break;
    }
    current_ = buffer_.get() + half * kReadBlock;
    const ReadOutcome outcome = inFlight ? ctx_.Device.FinishRead() : ReadNow(block);
    ByteRange next;
    have = NextBlock(next);
    std::uint8_t* const other = buffer_.get() + (1 - half) * kReadBlock;
    inFlight = have && ctx_.Device.StartRead(next.Begin, other, next.End - next.Begin);
    aborted = !CheckRead(block, outcome);
    passed_ += block.End - block.Begin;
    result_.Position = block.End;
    ShowProgress(block.End);
    if (aborted) {
      if (inFlight) {
        ctx_.Device.FinishRead();
      }
      break;
    }
    block = next;
    half = 1 - half;
  }
  buffer_.reset();
  if (cancelled) {
    result_.Outcome = VerifyOutcome::Cancelled;
    ctx_.StopRequested.store(false);
  } else {
    if (aborted) {
      // Whatever the check did not reach was not verified.
      result_.UnreadableSectors += (toRead_ - passed_ + sectorSize_ - 1) / sectorSize_;
    }
    result_.Outcome =
        result_.DifferingSectors == 0 && result_.UnreadableSectors == 0 ? VerifyOutcome::Passed : VerifyOutcome::Failed;
    if (result_.Outcome == VerifyOutcome::Passed) {
      ctx_.Display.BarPosition = 100;
      ctx_.Observer.OnProgress(ctx_.Display);
    }
  }
  if (result_.KnownUnwrittenDiffering > 0) {
    ctx_.Logs.BenchMarkLog("Sectors the run could not write, not counted as differences: " +
                           GroupThousands(result_.KnownUnwrittenDiffering) + " from LBA " +
                           GroupThousands(result_.FirstKnownUnwritten / sectorSize_));
  }
  ctx_.Logs.BenchMarkLog(VerifyResultLine(result_, sectorSize_));
  return result_;
}

// The blocks of the extents in order, at most one buffer half each.
bool VerifyRun::NextBlock(ByteRange& block) {
  const std::vector<ByteRange>& extents = request_.Extents;
  while (extent_ < extents.size()) {
    if (cursor_ < extents[extent_].Begin) {
      cursor_ = extents[extent_].Begin;
    }
    if (cursor_ < extents[extent_].End) {
      block = {cursor_, std::min(cursor_ + kReadBlock, extents[extent_].End)};
      cursor_ = block.End;
      return true;
    }
    ++extent_;
  }
  return false;
}

ReadOutcome VerifyRun::ReadNow(const ByteRange& block) {
  if (SeekDevice(ctx_.Device, block.Begin) != block.Begin) {
    return {0, kErrorGeneric};
  }
  return ctx_.Device.Read(current_, block.End - block.Begin);
}

// Checks a block that was read; false when the device is gone and the check cannot go on.
bool VerifyRun::CheckRead(const ByteRange& block, const ReadOutcome& outcome) {
  const std::int64_t offset = block.Begin;
  const std::int64_t length = block.End - block.Begin;
  // Whole sectors that arrived are checked even when the rest failed.
  const std::int64_t arrived = std::clamp<std::int64_t>(outcome.Read, 0, length) / sectorSize_ * sectorSize_;
  result_.BytesRead += arrived;
  CheckBlock(offset, arrived);
  if (arrived == length) {
    return true;
  }
  const Piece first{offset + arrived, outcome.ErrorCode};
  LogReadError(first.Failed, first.Code);
  if (IsAbortCode(first.Code)) {
    return Unplugged(first.Failed, offset + length);
  }
  // One bad sector must not leave a whole block unverified: the rest is read again in pieces,
  // and a failing piece sector by sector, up to a limit for a dying disk.
  const std::int64_t end = offset + length;
  for (std::int64_t piece = first.Failed; piece < end; piece += kPieceSize) {
    const std::int64_t pieceEnd = std::min(piece + kPieceSize, end);
    if (ReadPiece(piece, pieceEnd - piece).Failed < 0) {
      continue;
    }
    for (std::int64_t sector = piece; sector < pieceEnd; sector += sectorSize_) {
      if (result_.UnreadableSectors >= kSectorRetryLimit) {
        MarkUnreadable(sector, end - sector);
        return true;
      }
      const Piece one = ReadPiece(sector, std::min(sectorSize_, pieceEnd - sector));
      if (IsAbortCode(one.Code)) {
        return Unplugged(sector, end);
      }
      if (one.Failed >= 0) {
        MarkUnreadable(sector, sectorSize_);
      }
    }
  }
  return true;
}

// Reads and checks [offset, offset + length); Failed is where it stopped short, or -1.
VerifyRun::Piece VerifyRun::ReadPiece(std::int64_t offset, std::int64_t length) {
  if (SeekDevice(ctx_.Device, offset) != offset) {
    return {offset, kErrorGeneric};
  }
  const ReadOutcome outcome = ctx_.Device.Read(current_, length);
  // Whole sectors that arrived are checked even when the rest failed.
  const std::int64_t arrived = std::clamp<std::int64_t>(outcome.Read, 0, length) / sectorSize_ * sectorSize_;
  result_.BytesRead += arrived;
  CheckBlock(offset, arrived);
  if (arrived == length) {
    return {-1, kErrorNone};
  }
  return {offset + arrived, outcome.ErrorCode};
}

bool VerifyRun::Unplugged(std::int64_t offset, std::int64_t end) {
  ctx_.Logs.BenchMarkLog("Device was unplugged, aborting...");
  MarkUnreadable(offset, end - offset);
  return false;
}

void VerifyRun::CheckBlock(std::int64_t offset, std::int64_t length) {
  const std::uint8_t* data = current_;
  std::int64_t from = 0;
  while (from < length) {
    const std::int64_t hit = FirstNonZero(data + from, length - from);
    if (hit < 0) {
      return;
    }
    const std::int64_t sectorStart = (from + hit) / sectorSize_ * sectorSize_;
    CountSector(offset + sectorStart, false);
    from = sectorStart + sectorSize_;
  }
}

bool VerifyRun::KnownUnwritten(std::int64_t offset) {
  // Lookups come in ascending order, so the scan over the known ranges only moves forward.
  const std::vector<ByteRange>& known = request_.KnownUnwritten;
  while (knownIndex_ < known.size() && known[knownIndex_].End <= offset) {
    ++knownIndex_;
  }
  return knownIndex_ < known.size() && known[knownIndex_].Begin <= offset;
}

void VerifyRun::CountSector(std::int64_t offset, bool unreadable) {
  if (KnownUnwritten(offset)) {
    result_.KnownUnwrittenDiffering += 1;
    if (result_.FirstKnownUnwritten < 0) {
      result_.FirstKnownUnwritten = offset;
    }
  } else if (unreadable) {
    result_.UnreadableSectors += 1;
    if (result_.FirstUnreadable < 0) {
      result_.FirstUnreadable = offset;
    }
  } else {
    result_.DifferingSectors += 1;
    if (result_.FirstDifference < 0) {
      result_.FirstDifference = offset;
    }
  }
}

void VerifyRun::MarkUnreadable(std::int64_t offset, std::int64_t length) {
  for (std::int64_t sector = offset; sector < offset + length; sector += sectorSize_) {
    CountSector(sector, true);
  }
}

void VerifyRun::LogReadError(std::int64_t offset, std::uint32_t code) {
  std::string line = "Read Error occurred at offset " + GroupThousands(offset) + ":   " + std::to_string(code);
  const std::string text = FormatErrorText(code);
  if (!text.empty()) {
    line += " - " + text;
  }
  ctx_.Logs.BenchMarkLog(line);
  result_.ReadErrorLines += 1;
}

void VerifyRun::ShowProgress(std::int64_t reach) {
  const std::int64_t percent = toRead_ > 0 ? std::min<std::int64_t>(passed_ * 100 / toRead_, 100) : 100;
  ctx_.Display.BarPosition = static_cast<int>(percent);
  ctx_.Display.PercentText = std::to_string(percent) + "% complete";
  ctx_.Display.PositionText = "Current sector: " + GroupThousands(reach / sectorSize_);
  const std::int64_t elapsed = ctx_.WallClock.NowMs() - startTime_;
  if (elapsed > 0) {
    const double speed = static_cast<double>(passed_) / static_cast<double>(elapsed) / 1000.0;
    ctx_.Display.SpeedText = FormatOneDecimal(speed, ctx_.Logs.Locale()) + " MB/s";
  }
  ctx_.Observer.OnProgress(ctx_.Display);
}

}  // namespace

std::string VerifyStartLine(VerifyMethod method, std::uint64_t seed) {
  if (method == VerifyMethod::Sample) {
    return "Verifying (sample, seed " + std::to_string(seed) + ")...";
  }
  return "Verifying (" + std::string(VerifyMethodName(method)) + ")...";
}

std::string VerifyResultLine(const VerifyResult& result, std::int64_t sectorSize) {
  const std::int64_t size = sectorSize > 0 ? sectorSize : 512;
  switch (result.Outcome) {
    case VerifyOutcome::Cancelled:
      return "Verification cancelled at offset " + GroupThousands(result.Position) + ".";
    case VerifyOutcome::Passed:
      return "Verification passed: " + GroupThousands(result.BytesRead) + " bytes read, all zero.";
    case VerifyOutcome::Failed:
      break;
  }
  if (result.DifferingSectors > 0) {
    return "Verification failed: non-zero data at offset " + OffsetAndLba(result.FirstDifference, size) + "; " +
           GroupThousands(result.DifferingSectors) + " sectors differ.";
  }
  return "Verification failed: " + GroupThousands(result.UnreadableSectors) +
         " sectors could not be read, the first at offset " + OffsetAndLba(result.FirstUnreadable, size) + ".";
}

VerifyRequest RunVerifyRequest(VerifyMethod method, std::uint64_t seed, const TIdentifyDeviceData& drive,
                               bool quickWipe, const FormatResult& run) {
  VerifyRequest request;
  request.Method = method;
  request.Seed = seed;
  request.SectorSize = drive.SectorSize > 0 ? drive.SectorSize : 512;
  request.Extents = VerificationExtents(method, drive.LBA * request.SectorSize, request.SectorSize, quickWipe, seed);
  request.KnownUnwritten = run.UnwrittenExtents;
  return request;
}

VerifyResult VerifyDevice(const VerifyRequest& request, FormatContext& context) {
  VerifyRun run(request, context);
  return run.Run();
}

std::int64_t FirstNonZero(const std::uint8_t* data, std::int64_t length) {
  // 64 bytes per step in eight word loads: about three times faster than a byte loop over a
  // copied chunk, and the check runs beside the device's reads on the same cores.
  std::int64_t at = 0;
  for (; at + 64 <= length; at += 64) {
    std::uint64_t w[8];
    std::memcpy(w, data + at, sizeof w);
    if (((w[0] | w[1]) | (w[2] | w[3]) | (w[4] | w[5]) | (w[6] | w[7])) != 0) {
      break;
    }
  }
  for (; at < length; ++at) {
    if (data[at] != 0) {
      return at;
    }
  }
  return -1;
}

}  // namespace vellumar

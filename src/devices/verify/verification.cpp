#include "devices/verify/verification.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>

#include "devices/base/text_format.h"
#include "devices/base/units.h"
#include "devices/verify/piece_checker.h"

namespace vellumar {

namespace {

// Progress, a yield and a look at the stop flag once per this many bytes checked.
constexpr std::int64_t kProgressStep = 16 * kMiB;
// After a read error the rest of the piece is read again in these steps, then sector by sector.
constexpr std::int64_t kRetryStep = 65'536;

struct FreeDeleter {
  void operator()(std::uint8_t* p) const { std::free(p); }
};

std::unique_ptr<std::uint8_t, FreeDeleter> AllocateRetryBuffer() {
  void* raw = std::aligned_alloc(kDirectIoAlignment, static_cast<std::size_t>(kRetryStep));
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
  struct Retry {
    std::int64_t Failed;
    std::uint32_t Code;
  };
  bool Take(const CheckedPiece& piece);
  Retry ReadAgain(std::int64_t offset, std::int64_t length);
  bool Unplugged(std::int64_t offset, std::int64_t end);
  void CountRuns(const std::vector<ByteRange>& runs);
  void CountSector(std::int64_t offset, bool unreadable);
  bool KnownUnwritten(std::int64_t offset);
  void MarkUnreadable(std::int64_t offset, std::int64_t length);
  void LogReadError(std::int64_t offset, std::uint32_t code);
  void ShowProgress(std::int64_t reach);
  bool StopSeen() const { return ctx_.StopRequested.load(); }

  const VerifyRequest& request_;
  FormatContext& ctx_;
  const std::int64_t sectorSize_;
  std::unique_ptr<std::uint8_t, FreeDeleter> retryBuffer_;  // made on the first read error
  std::int64_t toRead_ = 0;
  std::int64_t passed_ = 0;  // bytes of the extents passed so far, read or not
  std::int64_t startTime_ = 0;
  std::string speedText_;       // the check's own, never the run's shown before it
  std::size_t knownIndex_ = 0;  // the known-unwritten range that the next lookup starts at
  VerifyResult result_;
};

VerifyResult VerifyRun::Run() {
  ctx_.Observer.OnPhase(request_.Method == VerifyMethod::Sample ? RunPhase::VerifyingSample : RunPhase::VerifyingFull);
  ctx_.Logs.BenchMarkLog(VerifyStartLine(request_.Method, request_.Seed));
  for (const ByteRange& extent : request_.Extents) {
    toRead_ += extent.End - extent.Begin;
  }
  result_.Position = request_.Extents.empty() ? 0 : request_.Extents.front().Begin;
  startTime_ = ctx_.WallClock.NowMs();
  bool aborted = false;
  bool cancelled = false;
  {
    PieceChecker checker(ctx_.Device, request_.Extents, sectorSize_);
    ctx_.Observer.OnYield();
    cancelled = StopSeen();
    std::int64_t sinceShown = 0;
    CheckedPiece piece;
    while (!cancelled && checker.Next(piece)) {
      aborted = !Take(piece);
      const std::int64_t length = piece.Range.End - piece.Range.Begin;
      passed_ += length;
      sinceShown += length;
      result_.Position = piece.Range.End;
      if (aborted) {
        ShowProgress(piece.Range.End);
        break;
      }
      if (sinceShown >= kProgressStep && passed_ < toRead_) {
        sinceShown = 0;
        ShowProgress(piece.Range.End);
        ctx_.Observer.OnYield();
        cancelled = StopSeen();
      }
    }
    if (!cancelled && !aborted) {
      ShowProgress(result_.Position);
    }
  }  // the reading threads are joined here, before the caller may close the device
  retryBuffer_.reset();
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
  // The check's own speed goes to the log: the displays keep the run's after it.
  ctx_.Logs.BenchMarkLog("Average read speed: " + speedText_);
  if (result_.KnownUnwrittenDiffering > 0) {
    ctx_.Logs.BenchMarkLog("Sectors the run could not write, not counted as differences: " +
                           GroupThousands(result_.KnownUnwrittenDiffering) + " from LBA " +
                           GroupThousands(result_.FirstKnownUnwritten / sectorSize_));
  }
  ctx_.Logs.BenchMarkLog(VerifyResultLine(result_, sectorSize_));
  return result_;
}

// Counts what a reading thread found in one piece; false when the device is gone and the check
// cannot go on.
bool VerifyRun::Take(const CheckedPiece& piece) {
  result_.BytesRead += piece.Arrived;
  CountRuns(piece.NonZeroSectors);
  const std::int64_t end = piece.Range.End;
  const std::int64_t failed = piece.Range.Begin + piece.Arrived;
  if (failed == end) {
    return true;
  }
  LogReadError(failed, piece.ErrorCode);
  if (IsAbortCode(piece.ErrorCode)) {
    return Unplugged(failed, end);
  }
  // One bad sector must not leave a whole piece unverified: the rest is read again in steps,
  // and a failing step sector by sector, up to a limit for a dying disk.
  if (!retryBuffer_) {
    retryBuffer_ = AllocateRetryBuffer();
  }
  for (std::int64_t step = failed; step < end; step += kRetryStep) {
    const std::int64_t stepEnd = std::min(step + kRetryStep, end);
    const std::int64_t stepFailed = ReadAgain(step, stepEnd - step).Failed;
    if (stepFailed < 0) {
      continue;
    }
    // What arrived of the step before the failure is counted already: each sector once.
    for (std::int64_t sector = stepFailed; sector < stepEnd; sector += sectorSize_) {
      if (result_.UnreadableSectors >= kSectorRetryLimit) {
        MarkUnreadable(sector, end - sector);
        return true;
      }
      const Retry one = ReadAgain(sector, std::min(sectorSize_, stepEnd - sector));
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

// Reads and checks [offset, offset + length) once more; Failed is where it stopped short, or -1.
VerifyRun::Retry VerifyRun::ReadAgain(std::int64_t offset, std::int64_t length) {
  const ReadOutcome outcome = ctx_.Device.ReadAt(offset, retryBuffer_.get(), RoundUpToSector(length, sectorSize_));
  // Whole sectors that arrived are checked even when the rest failed.
  const std::int64_t arrived = ArrivedBytes(outcome.Read, length, sectorSize_);
  result_.BytesRead += arrived;
  CountRuns(NonZeroSectorRuns(retryBuffer_.get(), arrived, offset, sectorSize_));
  if (arrived == length) {
    return {-1, kErrorNone};
  }
  return {offset + arrived, ShortReadCode(outcome.ErrorCode)};
}

bool VerifyRun::Unplugged(std::int64_t offset, std::int64_t end) {
  ctx_.Logs.BenchMarkLog("Device was unplugged, aborting...");
  MarkUnreadable(offset, end - offset);
  return false;
}

void VerifyRun::CountRuns(const std::vector<ByteRange>& runs) {
  for (const ByteRange& run : runs) {
    for (std::int64_t sector = run.Begin; sector < run.End; sector += sectorSize_) {
      CountSector(sector, false);
    }
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
  ctx_.Display.DoneBytes = passed_;
  ctx_.Display.TotalBytes = toRead_;
  const std::int64_t elapsed = ctx_.WallClock.NowMs() - startTime_;
  if (elapsed > 0) {
    const double speed = static_cast<double>(passed_) / static_cast<double>(elapsed) / 1000.0;
    speedText_ = FormatOneDecimal(speed, ctx_.Logs.Locale()) + " MB/s";
    ctx_.Display.SpeedText = speedText_;
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
           GroupThousands(result.DifferingSectors) +
           (result.DifferingSectors == 1 ? " sector differs." : " sectors differ.");
  }
  return "Verification failed: " + GroupThousands(result.UnreadableSectors) +
         (result.UnreadableSectors == 1 ? " sector" : " sectors") + " could not be read, the first at offset " +
         OffsetAndLba(result.FirstUnreadable, size) + ".";
}

VerifyRequest RunVerifyRequest(VerifyMethod method, std::uint64_t seed, const TIdentifyDeviceData& drive,
                               std::int64_t totalBytes, bool quickWipe, const FormatResult& run) {
  VerifyRequest request;
  request.Method = method;
  request.Seed = seed;
  request.SectorSize = drive.SectorSize > 0 ? drive.SectorSize : 512;
  request.Extents = VerificationExtents(method, totalBytes, request.SectorSize, quickWipe, seed);
  request.KnownUnwritten = run.UnwrittenExtents;
  return request;
}

VerifyResult VerifyDevice(const VerifyRequest& request, FormatContext& context) {
  VerifyRun run(request, context);
  return run.Run();
}

}  // namespace vellumar

#include "devices/verify/piece_checker.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>

#include "devices/base/units.h"

namespace vellumar {

namespace {

// Eight readers keep 8 MiB of requests in flight, since a disk delivers a large read faster with
// several requests queued; their 1 MiB buffers together stay well inside the shared cache, so
// the check finds the bytes there. Larger pieces spill the cache.
constexpr std::size_t kThreads = 8;
constexpr std::int64_t kPieceBytes = kMiB;
// How far the readers may run ahead of the piece handed back last.
constexpr std::size_t kWindow = 32;

using Buffer = std::unique_ptr<std::uint8_t, PieceChecker::FreeBuffer>;

Buffer AllocateBuffer(std::int64_t bytes) {
  void* raw = std::aligned_alloc(kDirectIoAlignment, static_cast<std::size_t>(bytes));
  if (raw == nullptr) {
    throw std::bad_alloc();
  }
  return Buffer(static_cast<std::uint8_t*>(raw));
}

}  // namespace

void PieceChecker::FreeBuffer::operator()(std::uint8_t* p) const { std::free(p); }

PieceChecker::PieceChecker(BlockDevice& device, const std::vector<ByteRange>& extents, std::int64_t sectorSize)
    : device_(device),
      extents_(extents),
      sectorSize_(sectorSize > 0 ? sectorSize : 512),
      pieceSize_(std::max(kPieceBytes / sectorSize_ * sectorSize_, sectorSize_)),
      slots_(kWindow) {
  // The buffers are made here, so a failed allocation reaches the caller and not a thread.
  for (std::size_t i = 0; i < kThreads; ++i) {
    buffers_.push_back(AllocateBuffer(pieceSize_));
  }
  try {
    for (Buffer& buffer : buffers_) {
      threads_.emplace_back([this, data = buffer.get()] { Work(data); });
    }
  } catch (...) {
    Stop();
    throw;
  }
}

void PieceChecker::Work(std::uint8_t* data) {
  std::size_t index = 0;
  ByteRange range;
  while (Claim(index, range)) {
    CheckedPiece piece;
    piece.Range = range;
    const std::int64_t length = range.End - range.Begin;
    // The device's last bytes may be part of a sector (an image file): the read asks for the
    // whole sector, and the end of the file answers with exactly what is there.
    const ReadOutcome outcome = device_.ReadAt(range.Begin, data, RoundUpToSector(length, sectorSize_));
    piece.Arrived = ArrivedBytes(outcome.Read, length, sectorSize_);
    piece.ErrorCode = piece.Arrived == length ? kErrorNone : ShortReadCode(outcome.ErrorCode);
    piece.NonZeroSectors = NonZeroSectorRuns(data, piece.Arrived, range.Begin, sectorSize_);
    {
      const std::lock_guard lock(mutex_);
      Slot& slot = slots_[index % kWindow];
      slot.Piece = std::move(piece);
      slot.Ready = true;
    }
    changed_.notify_all();
  }
}

void PieceChecker::Stop() {
  {
    const std::lock_guard lock(mutex_);
    quit_ = true;
  }
  changed_.notify_all();
  for (std::thread& thread : threads_) {
    thread.join();
  }
  threads_.clear();
}

PieceChecker::~PieceChecker() { Stop(); }

// The next piece for a reading thread, once it is within the window; false when none is left.
bool PieceChecker::Claim(std::size_t& index, ByteRange& range) {
  std::unique_lock lock(mutex_);
  changed_.wait(lock, [this] { return quit_ || exhausted_ || claimed_ < returned_ + kWindow; });
  while (!quit_ && extent_ < extents_.size()) {
    const ByteRange& extent = extents_[extent_];
    cursor_ = std::max(cursor_, extent.Begin);
    if (cursor_ < extent.End) {
      range = {cursor_, std::min(cursor_ + pieceSize_, extent.End)};
      cursor_ = range.End;
      index = claimed_++;
      return true;
    }
    ++extent_;
  }
  exhausted_ = true;
  changed_.notify_all();
  return false;
}

bool PieceChecker::Next(CheckedPiece& piece) {
  std::unique_lock lock(mutex_);
  Slot& slot = slots_[returned_ % kWindow];
  changed_.wait(lock, [&] { return slot.Ready || (exhausted_ && returned_ == claimed_); });
  if (!slot.Ready) {
    return false;
  }
  piece = std::move(slot.Piece);
  slot.Ready = false;
  ++returned_;
  lock.unlock();
  changed_.notify_all();
  return true;
}

std::int64_t RoundUpToSector(std::int64_t length, std::int64_t sectorSize) {
  return (length + sectorSize - 1) / sectorSize * sectorSize;
}

std::int64_t ArrivedBytes(std::int64_t read, std::int64_t length, std::int64_t sectorSize) {
  const std::int64_t arrived = std::clamp<std::int64_t>(read, 0, length);
  return arrived == length ? length : arrived / sectorSize * sectorSize;
}

std::uint32_t ShortReadCode(std::uint32_t code) { return code == kErrorNone ? kErrorHandleEof : code; }

std::vector<ByteRange> NonZeroSectorRuns(const std::uint8_t* data, std::int64_t length, std::int64_t offset,
                                         std::int64_t sectorSize) {
  std::vector<ByteRange> runs;
  std::int64_t from = 0;
  while (from < length) {
    const std::int64_t hit = FirstNonZero(data + from, length - from);
    if (hit < 0) {
      break;
    }
    const std::int64_t sector = (from + hit) / sectorSize * sectorSize;
    if (!runs.empty() && runs.back().End == offset + sector) {
      runs.back().End += sectorSize;
    } else {
      runs.push_back({offset + sector, offset + sector + sectorSize});
    }
    from = sector + sectorSize;
  }
  return runs;
}

std::int64_t FirstNonZero(const std::uint8_t* data, std::int64_t length) {
  // 64 bytes per step in eight word loads: about three times faster than a byte loop.
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

#pragma once

#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "devices/base/block_device.h"
#include "devices/erase/format_engine.h"

namespace vellumar {

// One piece of the read-back check, as a reading thread left it.
struct CheckedPiece {
  ByteRange Range;                        // the bytes asked for
  std::int64_t Arrived = 0;               // whole sectors (or the device's partial last one) that arrived
  std::uint32_t ErrorCode = kErrorNone;   // why fewer arrived, when they did
  std::vector<ByteRange> NonZeroSectors;  // runs of arrived sectors holding a non-zero byte
};

// Reads the extents in pieces of 1 MiB on eight threads. Each thread checks its piece the moment
// it arrives, while the bytes are still in its cache, and reuses one small buffer: a check that
// read large blocks and looked at them afterwards fetched every byte from memory twice, which
// made it slower than a plain read on fast devices. The pieces come back in order.
class PieceChecker {
 public:
  PieceChecker(BlockDevice& device, const std::vector<ByteRange>& extents, std::int64_t sectorSize);
  // Hands out no further piece, waits for the reads in flight and joins the threads.
  ~PieceChecker();
  PieceChecker(const PieceChecker&) = delete;
  PieceChecker& operator=(const PieceChecker&) = delete;

  // Waits for the next piece in order; false once every piece was handed back.
  bool Next(CheckedPiece& piece);

  struct FreeBuffer {
    void operator()(std::uint8_t* p) const;
  };

 private:
  struct Slot {
    bool Ready = false;
    CheckedPiece Piece;
  };
  bool Claim(std::size_t& index, ByteRange& range);
  void Work(std::uint8_t* data);
  void Stop();

  BlockDevice& device_;
  const std::vector<ByteRange>& extents_;
  const std::int64_t sectorSize_;
  const std::int64_t pieceSize_;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::size_t extent_ = 0;  // where the next claim goes on
  std::int64_t cursor_ = -1;
  bool exhausted_ = false;    // every piece claimed
  std::size_t claimed_ = 0;   // pieces handed to threads
  std::size_t returned_ = 0;  // pieces handed back by Next
  bool quit_ = false;
  std::vector<Slot> slots_;  // results waiting to be handed back, by piece number
  std::vector<std::unique_ptr<std::uint8_t, FreeBuffer>> buffers_;  // one per thread, outlives them
  std::vector<std::thread> threads_;
};

// `length` rounded up to whole sectors: what a read of the device's partial last sector asks for.
std::int64_t RoundUpToSector(std::int64_t length, std::int64_t sectorSize);
// The bytes of a read of `length` that count: all of them, or the whole sectors before a failure.
std::int64_t ArrivedBytes(std::int64_t read, std::int64_t length, std::int64_t sectorSize);
// Why a read came back short: a short read without an error reached the end of the device.
std::uint32_t ShortReadCode(std::uint32_t code);

// Runs of sectors in `data` (`length` whole sectors read from `offset`) that hold a non-zero byte.
std::vector<ByteRange> NonZeroSectorRuns(const std::uint8_t* data, std::int64_t length, std::int64_t offset,
                                         std::int64_t sectorSize);

// Offset of the first non-zero byte in `data`, or -1.
std::int64_t FirstNonZero(const std::uint8_t* data, std::int64_t length);

}  // namespace vellumar

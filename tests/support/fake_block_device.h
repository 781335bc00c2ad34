#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <vector>

#include "devices/base/block_device.h"

namespace vellumar::testing {

// An in-memory disk. Every byte starts as 0xAA so a test can tell written zeros from old data;
// failures are injected per sector (a write touching a bad sector fails) or per call.
class FakeBlockDevice final : public vellumar::BlockDevice {
 public:
  // With `keepData` false only the calls are recorded, so huge devices cost no memory.
  FakeBlockDevice(std::int64_t size, std::int64_t sectorSize, bool keepData = true)
      : data_(keepData ? static_cast<std::size_t>(size) : 0U, 0xAA), size_(size), sectorSize_(sectorSize) {}

  std::int64_t Seek(std::int64_t offset) override {
    if (failSeekAt_ && *failSeekAt_ == offset) {
      return -1;
    }
    position_ = offset;
    return offset;
  }

  vellumar::WriteOutcome Write(const std::uint8_t* bytes, std::int64_t length) override {
    writes_.push_back({position_, length});
    if (beforeWrite_) {
      beforeWrite_(position_, length);
    }
    for (const auto& [sector, code] : badSectors_) {
      const std::int64_t offset = sector * sectorSize_;
      if (offset < position_ + length && offset + sectorSize_ > position_) {
        return {0, code};
      }
    }
    if (position_ + length > size_) {
      return {0, vellumar::kErrorGeneric};
    }
    if (!data_.empty()) {
      std::memcpy(data_.data() + position_, bytes, static_cast<std::size_t>(length));
    }
    position_ += length;
    return {length, vellumar::kErrorNone};
  }

  // Safe to call from several threads, as the check's readers do.
  vellumar::ReadOutcome ReadAt(std::int64_t offset, std::uint8_t* bytes, std::int64_t length) override {
    {
      const std::lock_guard lock(readsMutex_);
      reads_.push_back({offset, length});
    }
    std::int64_t got = std::clamp<std::int64_t>(size_ - offset, 0, length);
    std::uint32_t code = vellumar::kErrorNone;
    for (const auto& [sector, failure] : badReadSectors_) {
      const std::int64_t at = sector * sectorSize_;
      if (at < offset + got && at + sectorSize_ > offset) {
        // The sectors before the bad one arrive; the read stops there.
        got = std::max<std::int64_t>(at - offset, 0);
        code = failure;
        break;
      }
    }
    if (data_.empty()) {
      std::memset(bytes, 0, static_cast<std::size_t>(got));  // a device without data reads as zeros
    } else {
      std::memcpy(bytes, data_.data() + offset, static_cast<std::size_t>(got));
    }
    return {got, code};
  }

  std::uint32_t Flush() override {
    ++flushes_;
    return flushCode_;
  }

  struct WriteCall {
    std::int64_t Offset;
    std::int64_t Length;
  };

  void FailSector(std::int64_t sector, std::uint32_t code) { badSectors_[sector] = code; }
  void FailReadSector(std::int64_t sector, std::uint32_t code) { badReadSectors_[sector] = code; }
  void Poke(std::int64_t offset, std::uint8_t value) { data_[static_cast<std::size_t>(offset)] = value; }
  void FailSeekAt(std::int64_t offset) { failSeekAt_ = offset; }
  void FailFlush(std::uint32_t code) { flushCode_ = code; }
  void BeforeWrite(std::function<void(std::int64_t, std::int64_t)> hook) { beforeWrite_ = std::move(hook); }

  const std::vector<WriteCall>& Writes() const { return writes_; }
  const std::vector<WriteCall>& Reads() const { return reads_; }
  int Flushes() const { return flushes_; }

  // Bytes in [begin, end) that are not zero.
  std::int64_t NonZeroIn(std::int64_t begin, std::int64_t end) const {
    std::int64_t count = 0;
    for (std::int64_t i = begin; i < end; ++i) {
      count += data_[static_cast<std::size_t>(i)] != 0 ? 1 : 0;
    }
    return count;
  }

 private:
  std::vector<std::uint8_t> data_;
  std::int64_t size_;
  std::int64_t sectorSize_;
  std::int64_t position_ = 0;
  std::map<std::int64_t, std::uint32_t> badSectors_;
  std::optional<std::int64_t> failSeekAt_;
  std::uint32_t flushCode_ = vellumar::kErrorNone;
  std::function<void(std::int64_t, std::int64_t)> beforeWrite_;
  std::map<std::int64_t, std::uint32_t> badReadSectors_;
  std::vector<WriteCall> writes_;
  std::mutex readsMutex_;
  std::vector<WriteCall> reads_;
  int flushes_ = 0;
};

}  // namespace vellumar::testing

#include "devices/verify/sample_plan.h"

#include <algorithm>

namespace vellumar {

namespace {

// splitmix64: tiny, and its sequence is fixed by its definition, so a seed written in a
// certificate reads the same extents with any later build or compiler.
class SeededSequence {
 public:
  explicit SeededSequence(std::uint64_t seed) : state_(seed) {}
  std::uint64_t Next() {
    state_ += 0x9E3779B97F4A7C15ULL;
    std::uint64_t z = state_;
    z = (z ^ (z >> 30U)) * 0xBF58476D1CE4E5B9ULL;
    z = (z ^ (z >> 27U)) * 0x94D049BB133111EBULL;
    return z ^ (z >> 31U);
  }
  // Uniform enough in [0, bound) for bounds far below 2^64.
  std::int64_t Below(std::int64_t bound) {
    return static_cast<std::int64_t>(Next() % static_cast<std::uint64_t>(bound));
  }

 private:
  std::uint64_t state_;
};

}  // namespace

std::string_view VerifyMethodName(VerifyMethod method) {
  switch (method) {
    case VerifyMethod::Sample:
      return "sample";
    case VerifyMethod::Full:
      return "full";
    case VerifyMethod::None:
      break;
  }
  return "none";
}

std::optional<VerifyMethod> ParseVerifyMethod(std::string_view word) {
  for (const VerifyMethod method : {VerifyMethod::None, VerifyMethod::Sample, VerifyMethod::Full}) {
    if (word == VerifyMethodName(method)) {
      return method;
    }
  }
  return std::nullopt;
}

std::vector<ByteRange> JoinRanges(std::vector<ByteRange> ranges) {
  std::erase_if(ranges, [](const ByteRange& r) { return r.End <= r.Begin; });
  std::sort(ranges.begin(), ranges.end(), [](const ByteRange& a, const ByteRange& b) { return a.Begin < b.Begin; });
  std::vector<ByteRange> joined;
  for (const ByteRange& range : ranges) {
    if (!joined.empty() && range.Begin <= joined.back().End) {
      joined.back().End = std::max(joined.back().End, range.End);
    } else {
      joined.push_back(range);
    }
  }
  return joined;
}

std::vector<ByteRange> SampleExtents(std::int64_t total, std::int64_t sectorSize, std::uint64_t seed) {
  if (total <= 0 || sectorSize <= 0) {
    return {};
  }
  const std::int64_t sectors = total / sectorSize;
  const std::int64_t edge = std::min(total, kSampleEdgeBytes);
  std::vector<ByteRange> extents{{0, edge}, {total - edge, total}};
  SeededSequence sequence(seed);
  for (std::int64_t i = 0; i < kSampleSubsections; ++i) {
    // Sector counts of real disks stay far below 2^53, so the products cannot overflow.
    const std::int64_t first = sectors * i / kSampleSubsections;
    const std::int64_t last = sectors * (i + 1) / kSampleSubsections;
    const std::int64_t length = last - first;
    if (length <= 0) {
      continue;
    }
    // Each pick is at least 5 % of its subsection, rounded up, and the two never overlap: two
    // places drawn in the room left once both are taken out, the later one moved past the first.
    const std::int64_t extent = std::max<std::int64_t>(1, (length * kSamplePickPercent + 99) / 100);
    if (2 * extent >= length) {
      extents.push_back({first * sectorSize, last * sectorSize});
      continue;
    }
    const std::int64_t room = length - 2 * extent + 1;
    const std::int64_t a = sequence.Below(room);
    const std::int64_t b = sequence.Below(room);
    const std::int64_t lower = first + std::min(a, b);
    const std::int64_t upper = first + std::max(a, b) + extent;
    extents.push_back({lower * sectorSize, (lower + extent) * sectorSize});
    extents.push_back({upper * sectorSize, (upper + extent) * sectorSize});
  }
  return JoinRanges(std::move(extents));
}

std::vector<ByteRange> VerificationExtents(VerifyMethod method, std::int64_t total, std::int64_t sectorSize,
                                           bool quickWipe, std::uint64_t seed) {
  if (method == VerifyMethod::None) {
    return {};
  }
  const auto [head, tail] = FormatRanges(total, quickWipe);
  if (method == VerifyMethod::Full || tail.End > tail.Begin) {
    return JoinRanges({head, tail});
  }
  return SampleExtents(total, sectorSize, seed);
}

}  // namespace vellumar

#pragma once

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

#include "devices/base/units.h"
#include "devices/erase/format_engine.h"

namespace vellumar {

// How much of the device a read-back check reads.
enum class VerifyMethod { None, Sample, Full };

// "none", "sample" or "full": the words of the command line, the log and the certificate.
std::string_view VerifyMethodName(VerifyMethod method);
std::optional<VerifyMethod> ParseVerifyMethod(std::string_view word);

inline constexpr std::int64_t kSampleSubsections = 1'000;
inline constexpr std::int64_t kSampleEdgeBytes = kMiB;
inline constexpr std::int64_t kSamplePickPercent = 5;

// A sample: in each of 1,000 equal subsections two extents at sector-aligned offsets drawn from
// `seed`, each at least 5 % of the subsection long and never overlapping (at least 10 % of every
// subsection in all), plus the first and the last MiB. The same seed always gives the same
// extents. Sorted and joined where they touch.
std::vector<ByteRange> SampleExtents(std::int64_t total, std::int64_t sectorSize, std::uint64_t seed);

// What a check after a run reads: the ranges the run wrote (`full`), or a sample of them. A
// quick wipe wrote two small ranges, which a sample reads whole as well.
std::vector<ByteRange> VerificationExtents(VerifyMethod method, std::int64_t total, std::int64_t sectorSize,
                                           bool quickWipe, std::uint64_t seed);

// Sorted, with overlapping and touching ranges joined; empty ranges dropped.
std::vector<ByteRange> JoinRanges(std::vector<ByteRange> ranges);

}  // namespace vellumar

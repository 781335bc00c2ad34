#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "devices/erase/format_engine.h"
#include "devices/verify/sample_plan.h"

namespace vellumar {

struct VerifyRequest {
  VerifyMethod Method = VerifyMethod::Full;
  std::uint64_t Seed = 0;          // logged for a sample; the extents come from it
  std::vector<ByteRange> Extents;  // what to read, sorted, sector-aligned but for the device's end
  std::int64_t SectorSize = 512;
  std::vector<ByteRange> KnownUnwritten;  // sectors the run already reported as unwritable
};

enum class VerifyOutcome { Passed, Failed, Cancelled };

struct VerifyResult {
  VerifyOutcome Outcome = VerifyOutcome::Passed;
  std::int64_t BytesRead = 0;
  std::int64_t DifferingSectors = 0;
  std::int64_t FirstDifference = -1;  // byte offset of the first differing sector
  std::int64_t UnreadableSectors = 0;
  std::int64_t FirstUnreadable = -1;
  std::int64_t KnownUnwrittenDiffering = 0;  // expected differences, not counted above
  std::int64_t FirstKnownUnwritten = -1;
  std::int64_t ReadErrorLines = 0;
  std::int64_t Position = 0;  // where the check ended (the offset named when cancelled)
};

// "Verifying (full)..." or "Verifying (sample, seed N)...".
std::string VerifyStartLine(VerifyMethod method, std::uint64_t seed);
// The one result line of a check.
std::string VerifyResultLine(const VerifyResult& result, std::int64_t sectorSize);

// Reads the extents back and checks that every byte is zero. Writes its start line, read error
// lines and result line to the format log and drives the same displays as a run. The stop flag
// is read between blocks and cleared when it ended the check.
VerifyResult VerifyDevice(const VerifyRequest& request, FormatContext& context);

// The check after a run: what the run wrote (or a sample of it), with the sectors the run could
// not write expected to differ.
// `totalBytes` is what the run covered, a partial last sector of an image file included.
VerifyRequest RunVerifyRequest(VerifyMethod method, std::uint64_t seed, const TIdentifyDeviceData& drive,
                               std::int64_t totalBytes, bool quickWipe, const FormatResult& run);

}  // namespace vellumar

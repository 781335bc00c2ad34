#include "devices/certificate/certificate.h"

#include <algorithm>

namespace vellumar {

std::string FormatOutcomeName(FormatOutcome outcome) {
  switch (outcome) {
    case FormatOutcome::Cancelled:
      return "cancelled";
    case FormatOutcome::Terminated:
      return "terminated";
    case FormatOutcome::Completed:
      break;
  }
  return "completed";
}

std::string VerifyOutcomeName(VerifyOutcome outcome) {
  switch (outcome) {
    case VerifyOutcome::Failed:
      return "failed";
    case VerifyOutcome::Cancelled:
      return "cancelled";
    case VerifyOutcome::Passed:
      break;
  }
  return "passed";
}

CertificateErase EraseRecord(bool quick, std::int64_t total, std::int64_t sectorSize, const FormatResult& result,
                             const std::vector<std::string>& log, const std::string& averageSpeed) {
  CertificateErase erase;
  erase.Quick = quick;
  erase.Level = quick ? "none" : "clear";
  const std::int64_t size = sectorSize > 0 ? sectorSize : 512;
  const bool completed = result.Outcome == FormatOutcome::Completed;
  // A run that stopped wrote its ranges up to where it stopped; everything after that offset
  // kept its old content and is counted as unwritten.
  std::int64_t notReached = 0;
  const auto [head, tail] = FormatRanges(total, quick);
  for (const ByteRange& range : {head, tail}) {
    const std::int64_t end = completed ? range.End : std::clamp(result.Position, range.Begin, range.End);
    if (end > range.Begin) {
      erase.RangesWritten.push_back({range.Begin, end});
    }
    notReached += (range.End - end + size - 1) / size;
  }
  erase.Outcome = FormatOutcomeName(result.Outcome);
  erase.FinalOffset = result.Position;
  erase.NotReachedSectors = notReached;
  for (const std::string& line : log) {
    if (line.find("Error occurred at offset ") != std::string::npos ||
        line.find("Seek error occurred at offset ") != std::string::npos) {
      erase.ErrorLines.push_back(line);
    }
  }
  erase.UnwrittenSectors = result.UnwrittenSectors + notReached;
  for (const ByteRange& range : erase.RangesWritten) {
    erase.BytesWritten += range.End - range.Begin;
  }
  for (const ByteRange& range : result.UnwrittenExtents) {
    erase.BytesWritten -= std::min(range.End, result.Position) - std::min(range.Begin, result.Position);
  }
  erase.BytesWritten = std::max<std::int64_t>(erase.BytesWritten, 0);
  std::vector<ByteRange> unwritten = result.UnwrittenExtents;
  if (notReached > 0) {
    unwritten.push_back({result.Position, result.Position + size});
  }
  for (const ByteRange& range : unwritten) {
    for (std::int64_t at = range.Begin; at < range.End && erase.FirstUnwrittenLbas.size() < kCertificateListedLbas;
         at += size) {
      erase.FirstUnwrittenLbas.push_back(at / size);
    }
  }
  erase.AverageSpeed = averageSpeed;
  return erase;
}

CertificateCheck CheckRecord(VerifyMethod method, std::uint64_t seed, const VerifyResult& result,
                             std::int64_t sectorSize) {
  CertificateCheck check;
  check.Method = std::string(VerifyMethodName(method));
  if (method == VerifyMethod::Sample) {
    check.Seed = seed;
  }
  check.BytesRead = result.BytesRead;
  check.Result = VerifyOutcomeName(result.Outcome);
  check.ResultLine = VerifyResultLine(result, sectorSize);
  check.DifferingSectors = result.DifferingSectors;
  if (result.FirstDifference >= 0) {
    check.FirstMismatchOffset = result.FirstDifference;
    check.FirstMismatchLba = result.FirstDifference / (sectorSize > 0 ? sectorSize : 512);
  }
  check.UnreadableSectors = result.UnreadableSectors;
  check.KnownUnwrittenSectors = result.KnownUnwrittenDiffering;
  return check;
}

std::string CertificateFileStem(const std::string& serial, const std::string& utcStamp) {
  std::string stem;
  for (const char c : serial) {
    const bool plain = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' ||
                       c == '_' || (c == '.' && !stem.empty());
    stem += plain ? c : '_';
  }
  stem.resize(std::min(stem.size(), kCertificateStemSerial));
  const auto end = stem.find_last_not_of('_');
  stem = end == std::string::npos ? std::string() : stem.substr(0, end + 1);
  if (stem.empty()) {
    stem = "no-serial";
  }
  return stem + "-" + utcStamp;
}

}  // namespace vellumar

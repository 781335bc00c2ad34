#pragma once

#include <cstdint>
#include <string>

#include "ops/erasure_job.h"

namespace vellumar::desktop {

// How a confirmed run ended, in the words of the status bar's first panel.
struct RunOutcome {
  // "Completed", "Completed, verified", "Completed, verification failed",
  // "Completed, verification cancelled", "Cancelled at sector N" or "Terminated: <why>".
  std::string Status;
  // The user must not miss it: a failed check or a run that could not go on.
  bool Alarming = false;
};

RunOutcome DescribeOutcome(const vellumar::ops::ErasureResult& result, std::int64_t sectorSize);

}  // namespace vellumar::desktop

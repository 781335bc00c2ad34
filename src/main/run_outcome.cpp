#include "main/run_outcome.h"

#include <cmath>

#include "devices/base/text_format.h"

namespace vellumar::desktop {

namespace {

RunOutcome Terminated(const std::string& why) {
  return {"Terminated: " + (why.empty() ? std::string("the run could not go on") : why), true};
}

// The run's words for why it never wrote: its refusal, the open failure, or the lock.
std::string WhyNotStarted(const vellumar::ops::ErasureResult& result) {
  if (!result.Run.Refusal.empty()) {
    return result.Run.Refusal;
  }
  if (!result.OpenFailure.empty()) {
    return result.OpenFailure;
  }
  return "Unable to lock device";
}

}  // namespace

RunOutcome DescribeOutcome(const vellumar::ops::ErasureResult& result, std::int64_t sectorSize) {
  const vellumar::FormatResult& run = result.Run.Result;
  if (result.Threw) {
    return Terminated(run.Why);
  }
  if (!result.Run.WorkerRan) {
    return Terminated(WhyNotStarted(result));
  }
  switch (run.Outcome) {
    case vellumar::FormatOutcome::Terminated:
      return Terminated(run.Why);
    case vellumar::FormatOutcome::Cancelled: {
      // The sector the format log's "LBA" names, rounded as the run rounds it.
      const double sector = static_cast<double>(run.Position) / static_cast<double>(sectorSize > 0 ? sectorSize : 512);
      return {"Cancelled at sector " + vellumar::GroupThousands(static_cast<std::int64_t>(std::nearbyint(sector))),
              false};
    }
    case vellumar::FormatOutcome::Completed:
      break;
  }
  if (!result.Check) {
    return {"Completed", false};
  }
  switch (result.Check->Outcome) {
    case vellumar::VerifyOutcome::Passed:
      return {"Completed, verified", false};
    case vellumar::VerifyOutcome::Failed:
      return {"Completed, verification failed", true};
    case vellumar::VerifyOutcome::Cancelled:
      break;
  }
  return {"Completed, verification cancelled", false};
}

}  // namespace vellumar::desktop

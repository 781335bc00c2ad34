#include "ops/exit_status.h"

namespace vellumar::ops {

int ExitStatusAfterCheck(const VerifyResult& result, int otherwise) {
  switch (result.Outcome) {
    case VerifyOutcome::Failed:
      return kExitVerifyFailed;
    case VerifyOutcome::Cancelled:
      return kExitCancelled;
    case VerifyOutcome::Passed:
      break;
  }
  return otherwise;
}

int ErasureExitStatus(const ErasureResult& result) {
  if (result.Threw) {
    return kExitTerminated;
  }
  if (result.OptionRefused) {
    return kExitUsage;
  }
  if (result.MethodRefused) {
    return kExitMethodRefused;
  }
  if (!result.Run.WorkerRan) {
    return kExitRefused;
  }
  if (result.Firmware && !result.Firmware->Succeeded) {
    return result.Firmware->PasswordLeftSet ? kExitPasswordLeftSet : kExitFirmwareFailed;
  }
  int status = kExitOk;
  switch (result.Run.Result.Outcome) {
    case FormatOutcome::Cancelled:
      status = kExitCancelled;
      break;
    case FormatOutcome::Terminated:
      status = kExitTerminated;
      break;
    case FormatOutcome::Completed:
      status = result.Run.Result.ErrorLines > 0 ? kExitCompletedWithErrors : kExitOk;
      break;
  }
  // A check stopped after a completed erase leaves the erase's own status; the certificate
  // records the check as cancelled.
  if (!result.Check || result.Check->Outcome == VerifyOutcome::Cancelled) {
    return status;
  }
  return ExitStatusAfterCheck(*result.Check, status);
}

}  // namespace vellumar::ops

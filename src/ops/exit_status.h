#pragma once

#include "devices/verify/verification.h"
#include "ops/erasure_job.h"

namespace vellumar::ops {

// Exit statuses of vellumar-cli (documented in --help, the manual page and the README).
inline constexpr int kExitOk = 0;
inline constexpr int kExitCompletedWithErrors = 1;
inline constexpr int kExitCancelled = 2;
inline constexpr int kExitTerminated = 3;
inline constexpr int kExitRefused = 4;
inline constexpr int kExitUsage = 5;
inline constexpr int kExitVerifyFailed = 6;

// Status 6 when the check failed, 2 when it was cancelled, else `otherwise`.
int ExitStatusAfterCheck(const VerifyResult& result, int otherwise);

// The status of a whole erasure: refused or not confirmed 4, then the run's outcome, then the check's.
int ErasureExitStatus(const ErasureResult& result);

}  // namespace vellumar::ops

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
inline constexpr int kExitMethodRefused = 7;
inline constexpr int kExitFirmwareFailed = 8;
inline constexpr int kExitPasswordLeftSet = 9;

// Status 6 when the check failed, 2 when it was cancelled, else `otherwise`.
int ExitStatusAfterCheck(const VerifyResult& result, int otherwise);

// The status of a whole erasure: refused or not confirmed 4 (an option refused 5, a firmware
// method the drive does not offer now 7), then the run's outcome (a failed firmware erase 8, or
// 9 when its security password could not be removed), then the check's.
int ErasureExitStatus(const ErasureResult& result);

}  // namespace vellumar::ops

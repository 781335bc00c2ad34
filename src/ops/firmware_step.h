#pragma once

#include <string>

#include "ops/erasure_job.h"

namespace vellumar::ops {

// Before the confirmation: refuses a firmware method the drive does not offer now (frozen,
// behind a bridge, a sanitize running, not supported), and a read-back check of a crypto erase.
// Logs the refusal and returns false; nothing has been sent to the drive.
bool AcceptFirmwareRequest(const ErasureRequest& request, ErasureParts& parts, LogSinks& logs, ErasureResult& result);

// The lines the confirmation adds for a firmware method.
std::string FirmwareConfirmationLines(FirmwareMethod method);

// Makes `run` erase with the drive's firmware; the outcome lands in `result.Firmware`.
void UseFirmwareErase(FirmwareMethod method, RunRequest& run, ErasureParts& parts, ErasureResult& result);

}  // namespace vellumar::ops

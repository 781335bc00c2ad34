#pragma once

#include <ctime>
#include <string>

#include "devices/base/drive_record.h"
#include "devices/certificate/certificate.h"
#include "ops/erasure_job.h"

namespace vellumar::ops {

// A certificate's opening facts: the tool, the operator, the host and the drive as it was named
// (its texts trimmed one way for every front end). `kind` is "erasure" or "verification".
ErasureCertificate StartCertificate(const std::string& kind, const TDeviceTable& drive, const std::string& operatorName,
                                    CertificateFacts& facts);

// The brief health of the certificate from what the inspection read.
CertificateHealth HealthSummary(const DriveInspection& inspection);
// "magnetic", "flash" or "unknown", from the bus and the rotational flag.
std::string MediaTypeOf(std::int64_t busType, const std::optional<bool>& rotational);
// A random (version 4) UUID.
std::string NewCertificateId();

// The times: when the work began and ended, and how long it took.
void FinishCertificate(ErasureCertificate& certificate, CertificateFacts& facts, std::time_t started,
                       std::time_t ended);

}  // namespace vellumar::ops

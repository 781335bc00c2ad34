#pragma once

#include <cstdint>

#include "devices/certificate/certificate.h"
#include "devices/firmware/firmware_erase.h"

namespace vellumar {

// The record of a firmware erase of a drive of `total` bytes: sanitization level "purge" when
// the drive's command completed and the drive confirmed it, the technique of the method, and
// what the drive answered.
CertificateErase FirmwareEraseRecord(FirmwareMethod method, const FirmwareRunResult& run, std::int64_t total);

}  // namespace vellumar

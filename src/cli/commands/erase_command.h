#pragma once

#include <string>

#include "cli/certificate_output.h"
#include "cli/cli_commands.h"
#include "cli/drive_argument.h"
#include "ops/erasure_job.h"
#include "platform/linux/volumes/linux_volume_system.h"

namespace vellumar::cli {

// What `format` and `sanitize` ask of one erasure.
struct EraseOptions {
  std::string Command = "format";  // for the messages: "vellumar-cli format: ..."
  std::string Device;
  std::string Serial;
  vellumar::ops::EraseMethod Method = vellumar::ops::EraseMethod::ZeroFill;
  bool Yes = false;
  bool Agree = false;
  bool AllowBridge = false;
  bool RevealHidden = false;
  vellumar::VerifyMethod Verify = vellumar::VerifyMethod::None;
  CertificateRequest Certificate;
  std::string Operator;
};

// The drive's erasure through the one erasure job: the agreement, the drive as named, its serial,
// the certificate's folder, the typed confirmation, the run and the certificate.
int RunEraseCommand(const EraseOptions& options, CliEnvironment& env);

// The parts a run on `drive` is made of: the test's, or the system's.
vellumar::ops::ErasureParts ErasureParts(const ResolvedDrive& drive, vellumar::LogSinks& logs,
                                         vellumar::platform::LinuxVolumeSystem& volumes, CliEnvironment& env);

}  // namespace vellumar::cli

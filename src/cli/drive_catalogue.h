#pragma once

#include <memory>
#include <string>
#include <vector>

#include "cli/cli_commands.h"
#include "devices/base/drive_record.h"
#include "devices/base/log_sinks.h"
#include "devices/catalogue/enumeration.h"
#include "platform/linux/sysfs/linux_drive_prober.h"

namespace vellumar::cli {

// The catalogue as start-up builds it, with the prober that remembers each drive's identity.
struct CliCatalogue {
  vellumar::DeviceCatalogue Catalogue;
  vellumar::EnumerationResult Result;
  std::unique_ptr<vellumar::platform::LinuxDriveProber> Prober;
};

// Probes the drives of the environment's system; `parameters` are start-up's (the debug switch).
CliCatalogue LoadCatalogue(CliEnvironment& env, vellumar::LogSinks& logs, const std::vector<std::string>& parameters);

}  // namespace vellumar::cli

#pragma once

#include "cli/cli_commands.h"
#include "cli/drive_argument.h"
#include "devices/base/json_writer.h"

namespace vellumar::cli {

// `details` tells what the drive offers for a firmware erase, its security state and a sanitize
// in progress: a "firmware_erase" member in JSON, lines after the report in text.
void AddFirmwareFacts(const ResolvedDrive& drive, const CliEnvironment& env, vellumar::Json& document);
void PrintFirmwareFacts(const ResolvedDrive& drive, CliEnvironment& env);

}  // namespace vellumar::cli

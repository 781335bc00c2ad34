#include "cli/commands/firmware_facts_output.h"

#include <ostream>

#include "devices/reports/firmware_json.h"
#include "ops/linux/firmware_access.h"

namespace vellumar::cli {

void AddFirmwareFacts(const ResolvedDrive& drive, const CliEnvironment& env, vellumar::Json& document) {
  const vellumar::FirmwareFacts facts = vellumar::ops::FirmwareFactsOf(drive.Entry, env.SysfsRoot, env.DevRoot);
  document["firmware_erase"] = vellumar::FirmwareJson(facts, vellumar::OfferFirmwareMethods(facts, false));
}

void PrintFirmwareFacts(const ResolvedDrive& drive, CliEnvironment& env) {
  const vellumar::FirmwareFacts facts = vellumar::ops::FirmwareFactsOf(drive.Entry, env.SysfsRoot, env.DevRoot);
  if (facts.Path == vellumar::FirmwarePath::None) {
    return;
  }
  env.Out << "\nFirmware erase (vellumar-cli sanitize):\n";
  for (const std::string& line : vellumar::FirmwareLines(facts, vellumar::OfferFirmwareMethods(facts, false))) {
    env.Out << "  " << line << "\n";
  }
}

}  // namespace vellumar::cli

#pragma once

#include <string>
#include <vector>

#include "devices/base/json_writer.h"
#include "devices/firmware/firmware_methods.h"

namespace vellumar {

// The drive's firmware erase as `list --json`, `details --json` and `sanitize --list-methods
// --json` tell it: each method with its state and estimate, the ATA security state, and a
// sanitize that is running now.
Json FirmwareJson(const FirmwareFacts& facts, const std::vector<MethodOffer>& offers);

// The same as text lines for people: one line per method, then the security state and any
// sanitize in progress.
std::vector<std::string> FirmwareLines(const FirmwareFacts& facts, const std::vector<MethodOffer>& offers);

}  // namespace vellumar

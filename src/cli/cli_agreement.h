#pragma once

#include <string>
#include <vector>

#include "cli/cli_commands.h"
#include "devices/user/agreement.h"

namespace vellumar::cli {

// The first-run agreement before a destructive command, shared with the desktop program's
// marker. Removes --agree from `args`; --agree records the agreement without asking, --yes lets
// this one run go on without asking (nothing recorded), otherwise a terminal user is shown the
// text and asked once. False when the command must not go on.
bool EnsureAgreement(std::vector<std::string>& args, CliEnvironment& env, const std::string& markerPath,
                     vellumar::UserFileAccess& files);

// The same with the marker in the data folder of the person at the desk (the invoking user
// under sudo), read and written with that user's identity.
bool EnsureAgreement(std::vector<std::string>& args, CliEnvironment& env);

}  // namespace vellumar::cli

#pragma once

#include <cstdint>
#include <iosfwd>
#include <string>
#include <vector>

#include "devices/verify/verification.h"

namespace vellumar::cli {

// The value of an option given as "--name VALUE" or "--name=VALUE" at args[index]; advances
// `index` past a separate value. False (with a message) when the value is missing.
bool OptionValue(const std::vector<std::string>& args, std::size_t& index, const std::string& name, std::string& value,
                 bool& matched, std::ostream& err, const std::string& command);

// A seed for a new sample, from the system's entropy source.
std::uint64_t FreshSeed();

// Status 6 when the check failed, 2 when it was cancelled, else `otherwise`.
int ExitStatusAfterCheck(const vellumar::VerifyResult& result, int otherwise);

}  // namespace vellumar::cli

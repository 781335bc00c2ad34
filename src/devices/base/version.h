#pragma once

#include <string>
#include <string_view>

namespace vellumar {

// What --version prints: "vellumar-cli 4.50", then the git description of the build in
// parentheses when it was built from a git tree.
std::string VersionLine(std::string_view program);

}  // namespace vellumar

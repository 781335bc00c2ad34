#include "devices/base/version.h"

#include "build_version.h"

namespace vellumar {

std::string VersionLine(std::string_view program) {
  std::string line = std::string(program) + " " + VELLUMAR_VERSION;
  if (constexpr std::string_view description = VELLUMAR_GIT_DESCRIPTION; !description.empty()) {
    line += " (git " + std::string(description) + ")";
  }
  return line;
}

}  // namespace vellumar

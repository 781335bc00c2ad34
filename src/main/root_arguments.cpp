#include "main/root_arguments.h"

namespace vellumar::desktop {

std::vector<std::string> ToolkitArguments(const std::vector<std::string>& arguments, bool runningAsRoot) {
  if (!runningAsRoot || arguments.empty()) {
    return arguments;
  }
  // The program's own switch (--debug) is read from the original list; Qt needs none of it.
  return {arguments.front()};
}

}  // namespace vellumar::desktop

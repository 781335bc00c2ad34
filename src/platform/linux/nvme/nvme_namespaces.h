#pragma once

#include <string>
#include <vector>

namespace vellumar::platform {

// The other namespaces of the controller (or subsystem) that namespace `disk` ("nvme0n1")
// belongs to, as /dev nodes ("/dev/nvme0n2"), sorted. A Sanitize, and a Format whose reach is
// the whole controller, erases them too.
std::vector<std::string> OtherNvmeNamespaces(const std::string& sysfsRoot, const std::string& devRoot,
                                             const std::string& disk);

}  // namespace vellumar::platform

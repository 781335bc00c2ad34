#include "platform/linux/nvme/nvme_namespaces.h"

#include <algorithm>
#include <cctype>

#include "platform/linux/sysfs/sysfs_files.h"

namespace vellumar::platform {

namespace {

bool Digits(std::string_view text) {
  return !text.empty() &&
         std::all_of(text.begin(), text.end(), [](char c) { return std::isdigit(static_cast<unsigned char>(c)) != 0; });
}

// "nvme<N>n<M>": a namespace's block device. The hidden per-path nodes of multipath
// ("nvme0c0n1") stand for a namespace that already has its own node.
bool IsNamespaceName(std::string_view name) {
  if (!name.starts_with("nvme")) {
    return false;
  }
  name.remove_prefix(4);
  const std::size_t n = name.find('n');
  return n != std::string_view::npos && Digits(name.substr(0, n)) && Digits(name.substr(n + 1));
}

}  // namespace

std::vector<std::string> OtherNvmeNamespaces(const std::string& sysfsRoot, const std::string& devRoot,
                                             const std::string& disk) {
  // The namespace's `device` is its controller, or its subsystem under multipath; both list the
  // namespaces they hold.
  std::vector<std::string> others;
  for (const std::string& entry : ListFolder(JoinPath({sysfsRoot, "/class/block/", disk, "/device"}))) {
    if (entry != disk && IsNamespaceName(entry)) {
      others.push_back(JoinPath({devRoot, "/", entry}));
    }
  }
  std::sort(others.begin(), others.end());
  return others;
}

}  // namespace vellumar::platform

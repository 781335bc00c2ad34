#include "platform/linux/sysfs/drive_list_facts.h"

#include <unistd.h>

#include <algorithm>
#include <array>

#include "platform/linux/sysfs/sysfs_files.h"
#include "platform/linux/volumes/mountinfo.h"

namespace vellumar::platform {

namespace {

// The by-id links point at "../../sdb"; they are read, never followed.
std::vector<std::string> ByIdNamesOf(const std::string& disk, const std::string& devRoot) {
  const std::string folder = devRoot + "/disk/by-id";
  std::vector<std::string> names;
  for (const std::string& entry : ListFolder(folder)) {
    std::array<char, 512> target{};
    const ssize_t length = ::readlink(JoinPath({folder, "/", entry}).c_str(), target.data(), target.size() - 1);
    if (length > 0 && BaseName(std::string(target.data(), static_cast<std::size_t>(length))) == disk) {
      names.push_back(entry);
    }
  }
  return names;
}

std::int64_t ReadNumber(const std::string& path) {
  const std::optional<std::string> text = ReadAttribute(path);
  if (!text || text->empty() || text->size() > 18 ||
      !std::all_of(text->begin(), text->end(), [](char c) { return c >= '0' && c <= '9'; })) {
    return 0;
  }
  return std::stoll(*text);
}

bool IsAlias(const std::string& name) { return name.rfind("wwn-", 0) == 0 || name.rfind("nvme-eui.", 0) == 0; }

}  // namespace

std::string PreferredById(std::vector<std::string> names) {
  std::sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) {
    if (IsAlias(a) != IsAlias(b)) {
      return !IsAlias(a);
    }
    return a.size() != b.size() ? a.size() < b.size() : a < b;
  });
  return names.empty() ? std::string() : "/dev/disk/by-id/" + names.front();
}

vellumar::DriveListFacts ReadDriveListFacts(const std::string& node, const std::string& sysfsRoot,
                                            const std::string& procRoot, const std::string& devRoot) {
  vellumar::DriveListFacts facts;
  const std::string disk = BaseName(node);
  const std::string block = JoinPath({sysfsRoot, "/block/", disk});
  facts.ById = PreferredById(ByIdNamesOf(disk, devRoot));
  facts.LogicalSectorSize = ReadNumber(block + "/queue/logical_block_size");
  facts.PhysicalSectorSize = ReadNumber(block + "/queue/physical_block_size");
  if (const std::optional<std::string> rotational = ReadAttribute(block + "/queue/rotational")) {
    facts.Rotational = *rotational == "1";
  }
  facts.Removable = ReadAttribute(block + "/removable").value_or("0") == "1";

  // The disk itself and its partitions, in name order.
  std::vector<std::string> volumes{disk};
  std::vector<std::string> entries = ListFolder(block);
  std::sort(entries.begin(), entries.end());
  for (const std::string& entry : entries) {
    if (entry.rfind(disk, 0) == 0 && PathExists(JoinPath({block, "/", entry, "/partition"}))) {
      volumes.push_back(entry);
    }
  }
  const std::vector<MountEntry> mounts = ParseMountInfo(ReadTextFile(procRoot + "/self/mountinfo"));
  const std::vector<SwapEntry> swaps = ParseSwaps(ReadTextFile(procRoot + "/swaps"));
  for (const std::string& volume : volumes) {
    const std::string folder = volume == disk ? block : JoinPath({block, "/", volume});
    unsigned major = 0;
    unsigned minor = 0;
    if (!ParseDevNumbers(ReadAttribute(folder + "/dev").value_or(""), major, minor)) {
      continue;
    }
    vellumar::VolumeUse use{JoinPath({devRoot, "/", volume}), {}};
    for (const MountEntry& mount : mounts) {
      if (mount.Major == major && mount.Minor == minor) {
        use.MountPoints.push_back(mount.MountPoint);
      }
    }
    for (const SwapEntry& swap : swaps) {
      if (swap.Type == "partition" && BaseName(swap.Path) == volume) {
        use.MountPoints.emplace_back("[SWAP]");
      }
    }
    // The whole disk is a volume only when something uses it directly.
    if (volume != disk || !use.MountPoints.empty()) {
      facts.Volumes.push_back(std::move(use));
    }
  }
  return facts;
}

}  // namespace vellumar::platform

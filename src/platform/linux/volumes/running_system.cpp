#include "platform/linux/volumes/running_system.h"

#include <algorithm>
#include <array>
#include <set>
#include <string_view>
#include <vector>

#include "platform/linux/sysfs/sysfs_disks.h"
#include "platform/linux/sysfs/sysfs_files.h"
#include "platform/linux/volumes/block_stack.h"
#include "platform/linux/volumes/mountinfo.h"

namespace vellumar::platform {

namespace {

// The mounts without which the system cannot run on.
constexpr std::array<std::string_view, 5> kSystemMountPoints = {"/", "/usr", "/var", "/boot", "/boot/efi"};

// Where live-boot mounts the medium it booted from; a live system's `/` is an overlay whose lower
// layer is a squashfs on a loop device, backed by a file on that medium.
constexpr std::string_view kLiveMedium = "/run/live/medium";

// Loops inside loops end somewhere; a crafted chain of mounts does not make this search endless.
constexpr int kMaxLayers = 8;

bool IsSystemMountPoint(const std::string& point) {
  for (const std::string_view system : kSystemMountPoints) {
    if (point == system) {
      return true;
    }
  }
  return false;
}

bool IsUnder(const std::string& path, const std::string& folder) {
  if (folder == "/") {
    return !path.empty() && path.front() == '/';
  }
  return path.compare(0, folder.size(), folder) == 0 && (path.size() == folder.size() || path[folder.size()] == '/');
}

// The mount a path lies on: the deepest mount point above it, the last one mounted there.
const MountEntry* MountHolding(const std::vector<MountEntry>& mounts, const std::string& path) {
  const MountEntry* holder = nullptr;
  for (const MountEntry& entry : mounts) {
    if (IsUnder(path, entry.MountPoint) &&
        (holder == nullptr || entry.MountPoint.size() >= holder->MountPoint.size())) {
      holder = &entry;
    }
  }
  return holder;
}

// The folders an overlay is made of (lowerdir=a:b, upperdir=c) from its super options.
std::vector<std::string> OverlayLayers(const MountEntry& entry) {
  std::vector<std::string> layers;
  std::size_t start = 0;
  const std::string& options = entry.SuperOptions;
  while (start <= options.size()) {
    const std::size_t comma = std::min(options.find(',', start), options.size());
    const std::string option = options.substr(start, comma - start);
    for (const std::string_view key : {"lowerdir=", "upperdir="}) {
      if (option.compare(0, key.size(), key) != 0) {
        continue;
      }
      std::size_t from = key.size();
      while (from <= option.size()) {
        const std::size_t colon = std::min(option.find(':', from), option.size());
        if (colon > from) {
          layers.push_back(option.substr(from, colon - from));
        }
        from = colon + 1;
      }
    }
    start = comma + 1;
  }
  return layers;
}

class LayerSearch {
 public:
  LayerSearch(const std::string& sysfsRoot, const std::vector<MountEntry>& mounts)
      : sysfsRoot_(sysfsRoot), mounts_(mounts) {}

  // The block devices a mount rests on, all the way down: through partitions, device-mapper, md,
  // loop devices (also by the mount that holds a loop's file) and an overlay's layers.
  std::set<std::string> Under(const MountEntry& entry) {
    std::set<std::string> devices;
    Add(entry, devices, 0);
    return devices;
  }

 private:
  void Add(const MountEntry& entry, std::set<std::string>& devices, int depth) {
    if (depth > kMaxLayers) {
      return;
    }
    if (entry.FsType == "overlay") {
      for (const std::string& layer : OverlayLayers(entry)) {
        const MountEntry* holder = MountHolding(mounts_, layer);
        if (holder != nullptr && holder != &entry) {
          Add(*holder, devices, depth + 1);
        }
      }
      return;
    }
    const std::optional<DevNumbers> numbers = DevNumbersOfMount(sysfsRoot_, entry);
    const std::optional<std::string> name =
        numbers ? BlockNameOf(sysfsRoot_, numbers->first, numbers->second) : std::nullopt;
    if (!name) {
      return;
    }
    for (const std::string& device : BlockStack(sysfsRoot_, *name, true)) {
      if (!devices.insert(device).second) {
        continue;
      }
      // A loop's file, found through the mounts as well: the medium's squashfs.
      if (const std::optional<std::string> file = LoopBackingFile(sysfsRoot_, device)) {
        const MountEntry* holder = MountHolding(mounts_, *file);
        if (holder != nullptr && holder != &entry) {
          Add(*holder, devices, depth + 1);
        }
      }
    }
  }

  const std::string& sysfsRoot_;
  const std::vector<MountEntry>& mounts_;
};

}  // namespace

std::string RunningSystemVolume(const std::string& sysfsRoot, const std::string& procRoot, const std::string& disk) {
  const std::vector<MountEntry> mounts = ParseMountInfo(ReadTextFile(procRoot + "/1/mountinfo"));
  LayerSearch search(sysfsRoot, mounts);
  // The live medium first, so the refusal names it rather than the overlay above it.
  for (const bool medium : {true, false}) {
    for (const MountEntry& entry : mounts) {
      if (medium ? entry.MountPoint != kLiveMedium : !IsSystemMountPoint(entry.MountPoint)) {
        continue;
      }
      if (search.Under(entry).count(disk) != 0) {
        return entry.MountPoint + " on " + entry.Source;
      }
    }
  }
  return {};
}

}  // namespace vellumar::platform

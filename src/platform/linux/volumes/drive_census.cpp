#include "platform/linux/volumes/drive_census.h"

#include <sys/sysmacros.h>
#include <unistd.h>

#include <algorithm>
#include <map>
#include <optional>
#include <set>
#include <utility>
#include <vector>

#include "platform/linux/sysfs/sysfs_disks.h"
#include "platform/linux/sysfs/sysfs_files.h"
#include "platform/linux/volumes/block_stack.h"

namespace vellumar::platform {

namespace {

// Stacks deeper than this (loops on loops on ...) are not followed further.
constexpr int kMaxDepth = 8;

dev_t ToDev(const DevNumbers& numbers) { return ::makedev(numbers.first, numbers.second); }

// What one pass looks at: block devices, or one file by device and inode.
struct Scope {
  std::set<dev_t> Blocks;
  std::optional<std::pair<dev_t, ino_t>> File;
  bool MayTake = false;  // the target itself: its plain mounts and swap partitions may be taken
};

class Census {
 public:
  explicit Census(const CensusSystem& system)
      : system_(system),
        namespaces_(MountsOfAllNamespaces(system.Proc)),
        loops_(AttachedLoops(system.Sysfs, system.Loops)),
        swaps_(ParseSwaps(ReadTextFile(system.Proc + "/swaps"))) {}

  void Examine(const Scope& scope, int depth);
  void LookUnder(const std::string& loopName, int depth);
  std::set<std::string> skippedLoops;  // the target itself, when looking under it
  vellumar::DriveCensus result;

 private:
  std::string NodeOf(dev_t device) const {
    if (const auto known = names_.find(device); known != names_.end()) {
      return known->second;
    }
    const auto name = BlockNameOf(system_.Sysfs, ::major(device), ::minor(device));
    return name ? system_.Dev + "/" + *name : std::to_string(::major(device)) + ":" + std::to_string(::minor(device));
  }
  void User(std::string text, bool onlyReads = false) {
    for (const auto& known : result.Users) {
      if (known.Text == text) {
        return;
      }
    }
    result.Users.push_back({std::move(text), onlyReads});
  }
  std::set<dev_t> FileSystemsOn(const std::set<dev_t>& blocks);
  void Mounts(const Scope& scope);
  void Swaps(const Scope& scope, const std::set<dev_t>& fileSystems);
  std::vector<dev_t> StackedOn(const Scope& scope, const std::set<dev_t>& fileSystems);
  void Processes(const Scope& scope, const std::set<dev_t>& fileSystems);

  const CensusSystem& system_;
  std::vector<NamespaceMounts> namespaces_;
  std::vector<LoopBacking> loops_;
  std::vector<SwapEntry> swaps_;
  std::map<dev_t, std::string> names_;
  std::set<dev_t> examined_;
};

// The disk and its partitions.
std::set<dev_t> FamilyOf(const std::string& sysfsRoot, dev_t disk) {
  std::set<dev_t> family{disk};
  const auto name = BlockNameOf(sysfsRoot, ::major(disk), ::minor(disk));
  if (!name) {
    return family;
  }
  for (const std::string& entry : ListFolder(JoinPath({sysfsRoot, "/class/block/", *name}))) {
    if (PathExists(JoinPath({sysfsRoot, "/class/block/", *name, "/", entry, "/partition"}))) {
      if (const auto numbers = DevNumbersOfBlock(sysfsRoot, entry)) {
        family.insert(ToDev(*numbers));
      }
    }
  }
  return family;
}

// A copy of one of our own mounts in another namespace that follows it: unmounting ours
// unmounts it too (a peer, or a slave of our peer group).
bool FollowsOurs(const MountEntry& other, const std::vector<MountEntry>& ours) {
  return std::any_of(ours.begin(), ours.end(), [&other](const MountEntry& mine) {
    return mine.SharedGroup != 0 && mine.Major == other.Major && mine.Minor == other.Minor &&
           (other.SharedGroup == mine.SharedGroup || other.MasterGroup == mine.SharedGroup);
  });
}

std::set<dev_t> Census::FileSystemsOn(const std::set<dev_t>& blocks) {
  std::set<dev_t> fileSystems;
  for (const NamespaceMounts& space : namespaces_) {
    for (const MountEntry& entry : space.Mounts) {
      const std::optional<DevNumbers> numbers = DevNumbersOfMount(system_.Sysfs, entry);
      if (numbers && blocks.count(ToDev(*numbers)) != 0) {
        const dev_t fileSystem = ::makedev(entry.Major, entry.Minor);
        fileSystems.insert(fileSystem);
        names_.emplace(fileSystem, NodeOf(ToDev(*numbers)));
      }
    }
  }
  return fileSystems;
}

void Census::Mounts(const Scope& scope) {
  const std::vector<MountEntry>& ours = namespaces_.front().Mounts;
  for (const NamespaceMounts& space : namespaces_) {
    for (const MountEntry& entry : space.Mounts) {
      const std::optional<DevNumbers> numbers = DevNumbersOfMount(system_.Sysfs, entry);
      if (!numbers || scope.Blocks.count(ToDev(*numbers)) == 0) {
        continue;
      }
      const std::string node = NodeOf(ToDev(*numbers));
      const std::string where = node + " is mounted on " + entry.MountPoint;
      if (!space.Own) {
        if (!scope.MayTake || !FollowsOurs(entry, ours)) {
          User(where + " in another mount namespace (process " + std::to_string(space.Pid) + ", " + space.Command +
               ")");
        }
        continue;
      }
      if (!scope.MayTake) {
        User(where);
        continue;
      }
      if (entry.Root != "/") {
        User(where + " showing only " + entry.Root + ", which could not be mounted back the same way");
        continue;
      }
      bool plain = true;
      for (const MountEntry& inside : space.Mounts) {
        if (inside.ParentId == entry.Id && inside.Id != entry.Id) {
          User(inside.MountPoint + " is mounted inside " + entry.MountPoint + " (" + node + ")");
          plain = false;
        }
      }
      if (plain) {
        result.Takes.push_back({node, entry.MountPoint});
      }
    }
  }
}

void Census::Swaps(const Scope& scope, const std::set<dev_t>& fileSystems) {
  for (const SwapEntry& swap : swaps_) {
    if (swap.Type == "partition") {
      const std::optional<DevNumbers> numbers = DevNumbersOfNode(system_.Sysfs, swap.Path);
      if (numbers && scope.Blocks.count(ToDev(*numbers)) != 0) {
        const std::string node = NodeOf(ToDev(*numbers));
        if (scope.MayTake) {
          result.Takes.push_back({node, ""});
        } else {
          User(node + " is active as swap");
        }
      }
      continue;
    }
    const std::optional<FileId> file = system_.Stat(swap.Path);
    if (!file) {
      // A swap file we cannot find may be anywhere, the target included.
      User("the swap file " + swap.Path + " cannot be found to tell where it lies");
    } else if (scope.File && file->Dev == scope.File->first && file->Ino == scope.File->second) {
      User("the image file is active as swap (" + swap.Path + ")");
    } else if (fileSystems.count(file->Dev) != 0) {
      User("the swap file " + swap.Path + " lies on " + NodeOf(file->Dev));
    }
  }
}

std::vector<dev_t> Census::StackedOn(const Scope& scope, const std::set<dev_t>& fileSystems) {
  std::vector<dev_t> stacked;
  for (const LoopBacking& loop : loops_) {
    if (skippedLoops.count(loop.Name) != 0) {
      continue;
    }
    const std::string node = system_.Dev + "/" + loop.Name;
    std::string uses;
    if (!loop.Resolved) {
      User(node + " is attached to " + loop.Path + ", which cannot be resolved to tell what it uses");
      continue;
    }
    if (loop.Backing.IsBlock && scope.Blocks.count(loop.Backing.Rdev) != 0) {
      uses = NodeOf(loop.Backing.Rdev);
    } else if (!loop.Backing.IsBlock && fileSystems.count(loop.Backing.Dev) != 0) {
      uses = loop.Path + " on " + NodeOf(loop.Backing.Dev);
    } else if (scope.File && loop.Backing.Dev == scope.File->first && loop.Backing.Ino == scope.File->second) {
      uses = "the image file";
    } else {
      continue;
    }
    User(JoinPath({node, " uses ", uses}));
    if (const auto numbers = DevNumbersOfBlock(system_.Sysfs, loop.Name)) {
      stacked.push_back(ToDev(*numbers));
    }
  }
  for (const dev_t block : scope.Blocks) {
    const auto name = BlockNameOf(system_.Sysfs, ::major(block), ::minor(block));
    if (!name) {
      continue;
    }
    for (const std::string& holder : ListFolder(JoinPath({system_.Sysfs, "/class/block/", *name, "/holders"}))) {
      const std::string label =
          ReadAttribute(JoinPath({system_.Sysfs, "/class/block/", holder, "/dm/name"})).value_or("");
      User(system_.Dev + "/" + holder + (label.empty() ? "" : " (" + label + ")") + " uses " + NodeOf(block));
      if (const auto numbers = DevNumbersOfBlock(system_.Sysfs, holder)) {
        stacked.push_back(ToDev(*numbers));
      }
    }
  }
  return stacked;
}

void Census::Processes(const Scope& scope, const std::set<dev_t>& fileSystems) {
  const WatchSet watch{scope.Blocks, fileSystems, scope.File};
  for (const ProcessUse& use : FindProcessUses(system_.Proc, watch, system_.Stat, system_.OwnPid)) {
    std::string how = use.How;
    if (const std::size_t slot = how.find("{}"); slot != std::string::npos) {
      how.replace(slot, 2, NodeOf(use.Device));
    }
    User("process " + std::to_string(use.Pid) + " (" + use.Command + ") " + how, !use.Writes);
  }
}

void Census::Examine(const Scope& scope, int depth) {
  for (const dev_t block : scope.Blocks) {
    examined_.insert(block);
  }
  const std::set<dev_t> fileSystems = FileSystemsOn(scope.Blocks);
  Mounts(scope);
  Swaps(scope, fileSystems);
  const std::vector<dev_t> stacked = StackedOn(scope, fileSystems);
  Processes(scope, fileSystems);
  // What sits on the drive is named with its own users, down to its own mounts.
  for (const dev_t upper : stacked) {
    if (depth < kMaxDepth && examined_.count(upper) == 0) {
      Examine(Scope{FamilyOf(system_.Sysfs, upper), std::nullopt, false}, depth + 1);
    }
  }
}

// Writing to a loop device writes what it is attached to: that is examined too, without the
// loop itself.
void Census::LookUnder(const std::string& loopName, int depth) {
  const auto loop = std::find_if(loops_.begin(), loops_.end(),
                                 [&loopName](const LoopBacking& known) { return known.Name == loopName; });
  if (loop == loops_.end() || depth >= kMaxDepth) {
    return;
  }
  skippedLoops.insert(loopName);
  if (!loop->Resolved) {
    User(system_.Dev + "/" + loopName + " is attached to " + loop->Path + ", which cannot be resolved");
    return;
  }
  if (!loop->Backing.IsBlock) {
    Examine(Scope{{}, std::make_pair(loop->Backing.Dev, loop->Backing.Ino), false}, depth + 1);
    return;
  }
  Examine(Scope{{loop->Backing.Rdev}, std::nullopt, false}, depth + 1);
  // A partition of a loop disk, or a loop disk itself: go on under it.
  const auto name = BlockNameOf(system_.Sysfs, ::major(loop->Backing.Rdev), ::minor(loop->Backing.Rdev));
  if (name) {
    for (const std::string& lower : BlockStack(system_.Sysfs, *name, false)) {
      if (skippedLoops.count(lower) == 0) {
        LookUnder(lower, depth + 1);  // returns at once for anything but an attached loop
      }
    }
  }
}

}  // namespace

CensusSystem SystemCensus(const std::string& sysfsRoot, const std::string& procRoot, const std::string& devRoot) {
  FileStat stat = SystemFileStat();
  return CensusSystem{sysfsRoot, procRoot, devRoot, stat, SystemLoopProbe(sysfsRoot, devRoot, stat), ::getpid()};
}

vellumar::DriveCensus DiskCensus(const CensusSystem& system, dev_t disk) {
  Census census(system);
  census.Examine(Scope{FamilyOf(system.Sysfs, disk), std::nullopt, true}, 0);
  if (const auto name = BlockNameOf(system.Sysfs, ::major(disk), ::minor(disk)); name && name->rfind("loop", 0) == 0) {
    census.LookUnder(*name, 0);
  }
  return census.result;
}

vellumar::DriveCensus ImageCensus(const CensusSystem& system, dev_t device, ino_t inode) {
  Census census(system);
  census.Examine(Scope{{}, std::make_pair(device, inode), false}, 0);
  return census.result;
}

}  // namespace vellumar::platform

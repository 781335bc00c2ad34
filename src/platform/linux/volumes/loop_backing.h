#pragma once

#include <sys/types.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/linux/volumes/process_scan.h"

namespace vellumar::platform {

// What an attached loop device reads and writes, by number: the file's device and inode, and
// for a block device the device itself. The kernel knows them even when the path was deleted
// or lies in another mount namespace.
struct LoopBacking {
  std::string Name;  // "loop3"
  std::string Path;  // as the kernel names it, " (deleted)" included; for messages only
  bool Resolved = false;
  FileId Backing;
};

// Finds the backing of loop device `name`; tests hand in their own.
using LoopProbe = std::function<LoopBacking(const std::string& name)>;

// Asks the loop driver (LOOP_GET_STATUS64 on the node, checked to be that device first). A loop
// set to clear itself on its last close is not opened, which would detach it: its path is
// looked at instead.
LoopProbe SystemLoopProbe(const std::string& sysfsRoot, const std::string& devRoot, FileStat stat);

// Every attached loop device of `sysfsRoot`/block.
std::vector<LoopBacking> AttachedLoops(const std::string& sysfsRoot, const LoopProbe& probe);

}  // namespace vellumar::platform

#pragma once

#include <optional>
#include <set>
#include <string>
#include <utility>

#include "platform/linux/volumes/mountinfo.h"

namespace vellumar::platform {

using DevNumbers = std::pair<unsigned, unsigned>;

// The device number of the block device with kernel name `name`, from sysfs.
std::optional<DevNumbers> DevNumbersOfBlock(const std::string& sysfsRoot, const std::string& name);

// The device number behind a node path: by its kernel name in sysfs first (so fake trees
// work), then by the node itself (for /dev/mapper links and the like).
std::optional<DevNumbers> DevNumbersOfNode(const std::string& sysfsRoot, const std::string& path);

// The block device a mount lives on. A file system that reports an anonymous device number
// (btrfs) is matched by its source node.
std::optional<DevNumbers> DevNumbersOfMount(const std::string& sysfsRoot, const MountEntry& entry);

// The file a loop device reads and writes, as the kernel names it; nullopt for any other device
// or a loop device with nothing attached.
std::optional<std::string> LoopBackingFile(const std::string& sysfsRoot, const std::string& name);

// The block devices `name` is built on, itself included, all the way down: the disk of a
// partition, the slaves of device-mapper and md devices and, with `throughLoops`, the device
// behind a loop device (its backing disk, or the device holding its backing file).
std::set<std::string> BlockStack(const std::string& sysfsRoot, const std::string& name, bool throughLoops);

}  // namespace vellumar::platform

#pragma once

#include <sys/types.h>

#include <functional>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "platform/linux/volumes/mountinfo.h"

namespace vellumar::platform {

// What stat(2) says of a path: the file system it lives on, its inode, and the device it is.
struct FileId {
  dev_t Dev = 0;
  ino_t Ino = 0;
  bool IsBlock = false;
  dev_t Rdev = 0;  // of a block device node
};
// Reads the identity of a path, following /proc's links to the open file itself; tests hand in
// their own.
using FileStat = std::function<std::optional<FileId>(const std::string& path)>;
FileStat SystemFileStat();

// What the handle scan looks for, all by number: block device nodes, file systems (st_dev,
// anonymous ones of btrfs included) and one file by device and inode (an image target).
struct WatchSet {
  std::set<dev_t> Blocks;
  std::set<dev_t> FileSystems;
  std::optional<std::pair<dev_t, ino_t>> File;
};

// One process that uses something watched.
struct ProcessUse {
  int Pid = 0;
  std::string Command;
  dev_t Device = 0;  // the block device or the file system it uses
  std::string How;   // "has {} open", "works in a folder on {}": {} stands for the device's node
  bool Writes = false;
};

// Every process but `ownPid` that has a watched node or file open, works or is rooted in a
// folder on a watched file system, or maps a file of one: /proc/<pid>/{fd,cwd,root,maps}.
std::vector<ProcessUse> FindProcessUses(const std::string& procRoot, const WatchSet& watch, const FileStat& stat,
                                        int ownPid);

// The mounts of one mount namespace, as one of its processes sees them.
struct NamespaceMounts {
  std::string Namespace;  // "mnt:[4026531841]"
  int Pid = 0;            // a process in it
  std::string Command;
  bool Own = false;  // the namespace this program runs in
  std::vector<MountEntry> Mounts;
};

// The mounts of every mount namespace on the system, each namespace read once; ours first.
std::vector<NamespaceMounts> MountsOfAllNamespaces(const std::string& procRoot);

// The numeric entries of /proc.
std::vector<int> ListProcesses(const std::string& procRoot);
// "bash", from /proc/<pid>/comm; "?" when it is gone.
std::string CommandOf(const std::string& procRoot, int pid);

}  // namespace vellumar::platform

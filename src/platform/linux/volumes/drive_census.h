#pragma once

#include <sys/types.h>

#include <string>

#include "devices/catalogue/volume_system.h"
#include "platform/linux/volumes/loop_backing.h"
#include "platform/linux/volumes/process_scan.h"

namespace vellumar::platform {

// Where the census looks, and how; tests point it at fake trees.
struct CensusSystem {
  std::string Sysfs;
  std::string Proc;
  std::string Dev;
  FileStat Stat;
  LoopProbe Loops;
  int OwnPid = 0;
};
CensusSystem SystemCensus(const std::string& sysfsRoot, const std::string& procRoot, const std::string& devRoot);

// Everything that uses disk `disk` or one of its partitions, and what lies under a loop disk:
// mounts in every mount namespace, holders, loop devices on it or on files on its file systems,
// swap, and processes. Only plain mounts of a whole file system in our own namespace that
// nothing else sits in, and swap partitions, are takes; anything else is a user. Changes nothing.
vellumar::DriveCensus DiskCensus(const CensusSystem& system, dev_t disk);

// The same for an image file: loop devices on it, swap on it, and processes using it.
vellumar::DriveCensus ImageCensus(const CensusSystem& system, dev_t device, ino_t inode);

}  // namespace vellumar::platform

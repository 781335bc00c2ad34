#include "platform/linux/volumes/process_scan.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <sstream>

#include "platform/linux/sysfs/sysfs_files.h"

namespace vellumar::platform {

namespace {

std::optional<std::string> ReadLink(const std::string& path) {
  std::array<char, 4096> buffer{};
  const ssize_t length = ::readlink(path.c_str(), buffer.data(), buffer.size() - 1);
  if (length < 0) {
    return std::nullopt;
  }
  return std::string(buffer.data(), static_cast<std::size_t>(length));
}

// The access mode of an open file, from the octal "flags:" line of /proc/<pid>/fdinfo/<fd>.
bool OpenForWriting(const std::string& fdinfo) {
  std::istringstream lines(fdinfo);
  for (std::string line; std::getline(lines, line);) {
    if (line.rfind("flags:", 0) == 0) {
      try {
        const unsigned long flags = std::stoul(line.substr(6), nullptr, 8);
        return (flags & O_ACCMODE) != O_RDONLY;
      } catch (const std::exception&) {
        return true;  // unreadable: assume the worst
      }
    }
  }
  return true;
}

class UseList {
 public:
  UseList(int pid, std::string command, std::vector<ProcessUse>& uses)
      : pid_(pid), command_(std::move(command)), uses_(uses) {}
  void Add(dev_t device, const std::string& how, bool writes) {
    for (ProcessUse& use : uses_) {
      if (use.Pid == pid_ && use.Device == device && use.How == how) {
        use.Writes = use.Writes || writes;
        return;
      }
    }
    uses_.push_back(ProcessUse{pid_, command_, device, how, writes});
  }

 private:
  int pid_;
  std::string command_;
  std::vector<ProcessUse>& uses_;
};

void ScanOpenFiles(const std::string& processDir, const WatchSet& watch, const FileStat& stat, UseList& uses) {
  for (const std::string& fd : ListFolder(processDir + "/fd")) {
    const std::optional<FileId> id = stat(JoinPath({processDir, "/fd/", fd}));
    if (!id) {
      continue;  // closed meanwhile
    }
    const bool writes = OpenForWriting(ReadTextFile(JoinPath({processDir, "/fdinfo/", fd})));
    if (id->IsBlock && watch.Blocks.count(id->Rdev) != 0) {
      uses.Add(id->Rdev, "has {} open", writes);
    } else if (watch.File && watch.File->first == id->Dev && watch.File->second == id->Ino) {
      uses.Add(id->Dev, "has the image file open", writes);
    } else if (watch.FileSystems.count(id->Dev) != 0) {
      uses.Add(id->Dev, "has a file open on {}", writes);
    }
  }
}

void ScanFolders(const std::string& processDir, const WatchSet& watch, const FileStat& stat, UseList& uses) {
  if (const auto cwd = stat(processDir + "/cwd"); cwd && watch.FileSystems.count(cwd->Dev) != 0) {
    uses.Add(cwd->Dev, "works in a folder on {}", false);
  }
  if (const auto root = stat(processDir + "/root"); root && watch.FileSystems.count(root->Dev) != 0) {
    uses.Add(root->Dev, "is rooted on {}", false);
  }
}

// "7f00-7f10 rw-s 00000000 08:11 1234 /mnt/data/file": mappings name their file's device (in hex)
// and inode.
void ScanMaps(const std::string& processDir, const WatchSet& watch, UseList& uses) {
  std::istringstream lines(ReadTextFile(processDir + "/maps"));
  for (std::string line; std::getline(lines, line);) {
    std::istringstream fields(line);
    std::string range;
    std::string perms;
    std::string offset;
    std::string device;
    unsigned long long inode = 0;
    if (!(fields >> range >> perms >> offset >> device >> inode) || inode == 0) {
      continue;
    }
    const std::size_t colon = device.find(':');
    unsigned long major = 0;
    unsigned long minor = 0;
    try {
      major = std::stoul(device.substr(0, colon), nullptr, 16);
      minor = std::stoul(device.substr(colon + 1), nullptr, 16);
    } catch (const std::exception&) {
      continue;
    }
    const dev_t dev = ::makedev(static_cast<unsigned>(major), static_cast<unsigned>(minor));
    const bool writes = perms.size() >= 4 && perms[1] == 'w' && perms[3] == 's';
    if (watch.File && watch.File->first == dev && watch.File->second == inode) {
      uses.Add(dev, "maps the image file", writes);
    } else if (watch.FileSystems.count(dev) != 0) {
      uses.Add(dev, "maps a file on {}", writes);
    }
  }
}

}  // namespace

FileStat SystemFileStat() {
  return [](const std::string& path) -> std::optional<FileId> {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) {
      return std::nullopt;
    }
    return FileId{info.st_dev, info.st_ino, S_ISBLK(info.st_mode), S_ISBLK(info.st_mode) ? info.st_rdev : 0};
  };
}

std::vector<int> ListProcesses(const std::string& procRoot) {
  std::vector<int> pids;
  for (const std::string& entry : ListFolder(procRoot)) {
    if (!entry.empty() && entry.size() < 10 && entry.find_first_not_of("0123456789") == std::string::npos) {
      pids.push_back(std::stoi(entry));
    }
  }
  std::sort(pids.begin(), pids.end());
  return pids;
}

std::string CommandOf(const std::string& procRoot, int pid) {
  const std::optional<std::string> command = ReadAttribute(procRoot + "/" + std::to_string(pid) + "/comm");
  return command && !command->empty() ? *command : "?";
}

std::vector<ProcessUse> FindProcessUses(const std::string& procRoot, const WatchSet& watch, const FileStat& stat,
                                        int ownPid) {
  std::vector<ProcessUse> found;
  for (const int pid : ListProcesses(procRoot)) {
    if (pid == ownPid) {
      continue;
    }
    const std::string processDir = procRoot + "/" + std::to_string(pid);
    UseList uses(pid, CommandOf(procRoot, pid), found);
    ScanOpenFiles(processDir, watch, stat, uses);
    ScanFolders(processDir, watch, stat, uses);
    ScanMaps(processDir, watch, uses);
  }
  return found;
}

std::vector<NamespaceMounts> MountsOfAllNamespaces(const std::string& procRoot) {
  std::vector<NamespaceMounts> namespaces;
  NamespaceMounts own;
  own.Namespace = ReadLink(procRoot + "/self/ns/mnt").value_or("");
  own.Own = true;
  own.Mounts = ParseMountInfo(ReadTextFile(procRoot + "/self/mountinfo"));
  namespaces.push_back(own);
  for (const int pid : ListProcesses(procRoot)) {
    const std::string processDir = procRoot + "/" + std::to_string(pid);
    const std::optional<std::string> name = ReadLink(processDir + "/ns/mnt");
    if (!name || std::any_of(namespaces.begin(), namespaces.end(),
                             [&name](const NamespaceMounts& known) { return known.Namespace == *name; })) {
      continue;
    }
    NamespaceMounts other{*name, pid, CommandOf(procRoot, pid), false,
                          ParseMountInfo(ReadTextFile(processDir + "/mountinfo"))};
    namespaces.push_back(std::move(other));
  }
  return namespaces;
}

}  // namespace vellumar::platform

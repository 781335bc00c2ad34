#include "platform/linux/sysfs/linux_platform_info.h"

#include <dirent.h>
#include <sys/utsname.h>

#include <sstream>

#include "platform/linux/sysfs/sysfs_files.h"

namespace vellumar::platform {

std::string KernelVersionNumbers(const std::string& release) {
  std::size_t end = 0;
  while (end < release.size() && ((release[end] >= '0' && release[end] <= '9') || release[end] == '.')) {
    ++end;
  }
  std::string numbers = release.substr(0, end);
  while (!numbers.empty() && numbers.back() == '.') {
    numbers.pop_back();
  }
  return numbers;
}

std::string PrettyNameOf(const std::string& osRelease) {
  std::istringstream lines(osRelease);
  std::string line;
  const std::string key = "PRETTY_NAME=";
  while (std::getline(lines, line)) {
    if (line.rfind(key, 0) != 0) {
      continue;
    }
    std::string value = line.substr(key.size());
    while (!value.empty() && (value.back() == '\r' || value.back() == ' ')) {
      value.pop_back();
    }
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front()) {
      value = value.substr(1, value.size() - 2);
    }
    std::string unescaped;
    for (std::size_t i = 0; i < value.size(); ++i) {
      if (value[i] == '\\' && i + 1 < value.size()) {
        ++i;
      }
      unescaped.push_back(value[i]);
    }
    return unescaped;
  }
  return "";
}

bool IsSixtyFourBitMachine(const std::string& machine) {
  return machine.find("64") != std::string::npos || machine == "s390x";
}

std::string LinuxPlatformInfo::ProgramPath() {
  const std::optional<std::string> program = ResolvedPath(procRoot_ + "/self/exe");
  if (!program) {
    return "";
  }
  return program->substr(0, program->find_last_of('/') + 1);
}

std::string LinuxPlatformInfo::PlatformDescription() {
  struct utsname names {};
  std::string release;
  std::string machine;
  if (::uname(&names) == 0) {
    release = names.release;
    machine = names.machine;
  }
  std::string distribution;
  for (const std::string& file : osReleaseFiles_) {
    distribution = PrettyNameOf(ReadTextFile(file));
    if (!distribution.empty()) {
      break;
    }
  }
  return KernelVersionNumbers(release) + "   " + distribution +
         (IsSixtyFourBitMachine(machine) ? "  (64 bit)" : "  (32 bit)");
}

bool LinuxPlatformInfo::DeviceInformationReachable() {
  DIR* folder = ::opendir((sysfsRoot_ + "/block").c_str());
  if (folder == nullptr) {
    return false;
  }
  ::closedir(folder);
  return true;
}

}  // namespace vellumar::platform

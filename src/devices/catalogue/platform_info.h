#pragma once

#include <string>

namespace vellumar {

// What start-up reports about the system it runs on.
class PlatformInfo {
 public:
  virtual ~PlatformInfo() = default;
  // The program's folder, with its trailing separator.
  virtual std::string ProgramPath() = 0;
  // The system's version, its name and its word width, as the platform line shows them.
  virtual std::string PlatformDescription() = 0;
  // False when the system's device information cannot be reached, which makes the program unusable.
  virtual bool DeviceInformationReachable() = 0;
};

}  // namespace vellumar

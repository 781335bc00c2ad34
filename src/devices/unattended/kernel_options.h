#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "devices/verify/sample_plan.h"

namespace vellumar {

// The unattended erase as the kernel command line asks for it:
//   vellumar.erase=SERIAL[,SERIAL...]  vellumar.verify=none|sample|full  vellumar.certificates=LABEL
// Fleet tooling relies on these names. Any error means nothing is erased.
struct KernelOptions {
  bool EraseRequested = false;       // vellumar.erase= appears at all
  std::vector<std::string> Serials;  // in the order named, each once, blanks at either end removed
  VerifyMethod Verify = VerifyMethod::Sample;
  std::string CertificateLabel;  // empty: no certificate stick named
  std::vector<std::string> Errors;
};

// Parses /proc/cmdline: words split at blanks, double quotes hold blanks and are removed, as the
// kernel does. Unknown vellumar.* options, repeated options, empty list items, a verify word
// other than the three and a label other than letters, digits, '.', '_' and '-' are errors.
KernelOptions ParseKernelOptions(std::string_view commandLine);

// A drive as the listing shows it.
struct ListedDrive {
  std::string Serial;
  std::string Node;          // /dev/sdb
  std::string SystemVolume;  // non-empty: the running system or the boot medium lives on it
};

struct PlannedErase {
  std::string Serial;
  std::string Node;
};

struct RefusedSerial {
  std::string Serial;
  std::string Reason;
};

// Which drives to erase: each named serial that exactly one listed drive reports (blanks at
// either end never count) and that does not hold the running system or the boot medium. A drive
// whose serial was not named is never in the plan.
struct UnattendedPlan {
  std::vector<PlannedErase> Erase;
  std::vector<RefusedSerial> Refused;
};

UnattendedPlan PlanUnattendedErase(const std::vector<std::string>& serials, const std::vector<ListedDrive>& drives);

}  // namespace vellumar

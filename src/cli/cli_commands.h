#pragma once

#include <atomic>
#include <functional>
#include <iosfwd>
#include <string>
#include <vector>

#include "devices/base/drive_record.h"
#include "devices/base/log_sinks.h"
#include "ops/erasure_job.h"
#include "ops/exit_status.h"

namespace vellumar::cli {

// Exit statuses of vellumar-cli (documented in --help and the README); the erasure job computes them.
using vellumar::ops::kExitCancelled;
using vellumar::ops::kExitCompletedWithErrors;
using vellumar::ops::kExitOk;
using vellumar::ops::kExitRefused;
using vellumar::ops::kExitTerminated;
using vellumar::ops::kExitUsage;
using vellumar::ops::kExitVerifyFailed;

// What a command needs from its surroundings; tests fill it with fakes and string streams.
struct CliEnvironment {
  std::istream& In;
  std::ostream& Out;
  std::ostream& Err;
  bool InIsTerminal = false;
  bool ErrIsTerminal = false;
  std::string SysfsRoot = "/sys";
  std::string ProcRoot = "/proc";
  std::string DevRoot = "/dev";
  std::string ConfigFolder = "/etc/vellumar";  // the certificate settings and the host's signing key
  std::atomic<bool>* StopRequested = nullptr;  // set by SIGINT/SIGTERM/SIGHUP during a run
  // While set, SIGINT/SIGTERM/SIGHUP end the program at once (exit 4): nothing was touched yet.
  std::atomic<bool>* AbortOnSignal = nullptr;
  // The parts a run is made of; empty means the system's own. Tests hand in fakes.
  std::function<vellumar::ops::ErasureParts(const vellumar::TDeviceTable& drive, vellumar::LogSinks& logs)>
      MakeErasureParts = nullptr;
};

int RunFormatCommand(const std::vector<std::string>& args, CliEnvironment& env);
int RunSanitizeCommand(const std::vector<std::string>& args, CliEnvironment& env);
int RunListCommand(const std::vector<std::string>& args, CliEnvironment& env);
int RunDetailsCommand(const std::vector<std::string>& args, CliEnvironment& env);
int RunSmartCommand(const std::vector<std::string>& args, CliEnvironment& env);
int RunVerifyCommand(const std::vector<std::string>& args, CliEnvironment& env);
int RunCertificateCommand(const std::vector<std::string>& args, CliEnvironment& env);
// vellumar.erase= and its options from the kernel command line: the live image's fleet erase.
int RunUnattendedCommand(const std::vector<std::string>& args, CliEnvironment& env);

// Dispatches argv (without the program name) to a command.
int RunCli(const std::vector<std::string>& args, CliEnvironment& env);

}  // namespace vellumar::cli

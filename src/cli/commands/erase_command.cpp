#include "cli/commands/erase_command.h"

#include <sys/sysmacros.h>

#include <atomic>
#include <istream>
#include <optional>
#include <ostream>

#include "cli/certificate_output.h"
#include "cli/cli_agreement.h"
#include "cli/cli_commands.h"
#include "cli/command_line.h"
#include "cli/drive_argument.h"
#include "cli/terminal_progress.h"
#include "devices/base/text_format.h"
#include "ops/erasure_job.h"
#include "ops/exit_status.h"
#include "ops/linux/hidden_area_step.h"
#include "ops/linux/linux_parts.h"
#include "platform/linux/host/system_clock.h"
#include "platform/linux/host/user_locale.h"
#include "platform/linux/sysfs/sysfs_disks.h"

namespace vellumar::cli {

namespace {

constexpr std::int64_t kMinimumSectors = 65535;

// On a terminal the user confirms by typing the device path; elsewhere only --yes confirms.
// A row number of 'list' is confirmed with the node it names now, not with the number.
bool ConfirmOnTerminal(const EraseOptions& options, const std::string& path, const std::string& node,
                       const vellumar::ConfirmationRequest& request, CliEnvironment& env) {
  if (options.Yes) {
    return true;
  }
  if (!env.InIsTerminal) {
    env.Err << "vellumar-cli " << options.Command
            << ": refusing to erase without --yes when standard input is not a terminal\n";
    return false;
  }
  std::string content = request.Content;
  std::erase(content, '\r');
  // A link such as /dev/disk/by-id/... is shown with the node it leads to now.
  env.Err << request.Title << ": " << request.MainInstruction << "\n"
          << content << "\n\nDevice node: " << node << "\nType the device path (" << path
          << ") to confirm: " << std::flush;
  std::string answer;
  std::getline(env.In, answer);
  if (answer != path) {
    env.Err << "Not confirmed; nothing was written.\n";
    return false;
  }
  return true;
}

// The node the drive has now: the kernel's name for the pinned device number.
std::string ResolvedNode(const ResolvedDrive& drive, const CliEnvironment& env) {
  if (drive.Entry.IsFile) {
    return drive.Entry.DevicePath;
  }
  const std::optional<std::string> name =
      vellumar::platform::BlockNameOf(env.SysfsRoot, major(drive.Pin.Rdev), minor(drive.Pin.Rdev));
  return name ? env.DevRoot + "/" + *name : drive.Entry.DevicePath;
}

// Until the user has confirmed, a signal ends the command at once: nothing was touched yet.
void EndAbortOnSignal(CliEnvironment& env) {
  if (env.AbortOnSignal != nullptr) {
    env.AbortOnSignal->store(false);
  }
}

// What is checked before the job starts: the agreement, the drive as named, its serial and size,
// and the certificate's folder, settings and key. A status when the command ends here.
std::optional<int> CheckBeforeRun(const EraseOptions& options, CliEnvironment& env, ResolvedDrive& drive,
                                  std::optional<vellumar::ops::CertificateOutput>& certificate) {
  // The first-run agreement comes before the drive is even looked at; --help does not need it.
  std::vector<std::string> agreement;
  if (options.Agree) {
    agreement.emplace_back("--agree");
  }
  if (options.Yes) {
    agreement.emplace_back("--yes");
  }
  if (!EnsureAgreement(agreement, env)) {
    return kExitRefused;
  }
  if (options.Yes && IsRowNumber(options.Device)) {
    // Nobody reads the confirmation, and rows shift when a disk comes or goes.
    env.Err << "vellumar-cli " << options.Command
            << ": a row number of 'list' is not accepted with --yes; name the device node, "
               "preferably a stable /dev/disk/by-id/... link\n";
    return kExitRefused;
  }
  std::string error;
  if (!ResolveDrive(options.Device, env, drive, error)) {
    env.Err << "Error opening device: " << error << "\n";
    return kExitUsage;
  }
  if (const std::string mismatch = SerialMismatch(drive, options.Serial); !mismatch.empty()) {
    env.Err << "vellumar-cli " << options.Command << ": " << mismatch << "\n";
    return kExitRefused;
  }
  if (drive.Entry.IdentifyData.LBA < kMinimumSectors) {
    env.Err << "This device cannot be accessed because it is smaller than 65535 sectors.  \n";
    return kExitRefused;
  }
  // A certificate that cannot be written is found out before anything is erased.
  return PrepareCertificate(options.Command, options.Certificate, certificate, env);
}

}  // namespace

vellumar::ops::ErasureParts ErasureParts(const ResolvedDrive& drive, vellumar::LogSinks& logs,
                                         vellumar::platform::LinuxVolumeSystem& volumes, CliEnvironment& env) {
  return env.MakeErasureParts
             ? env.MakeErasureParts(drive.Entry, logs)
             : vellumar::ops::MakeLinuxErasureParts({drive.Entry, drive.Pin, -1}, volumes, logs, RootsOf(env));
}

int RunEraseCommand(const EraseOptions& options, CliEnvironment& env) {
  ResolvedDrive drive;
  std::optional<vellumar::ops::CertificateOutput> certificate;
  if (const std::optional<int> status = CheckBeforeRun(options, env, drive, certificate)) {
    return *status;
  }
  std::vector<std::string> headerNotes;
  if (options.RevealHidden) {
    const vellumar::ops::RevealStep step = vellumar::ops::RevealHiddenSectors(drive.Entry, drive.Pin, env.SysfsRoot);
    env.Out << step.Line << "\n" << std::flush;
    if (step.Refused) {
      return vellumar::ops::kExitMethodRefused;
    }
    headerNotes.push_back(step.Line);
    // The drive is named again, so the run is pinned to the size it has now.
    std::string error;
    if (step.Revealed && !ResolveDrive(options.Device, env, drive, error)) {
      env.Err << "Error opening device: " << error << "\n";
      return kExitUsage;
    }
  }

  vellumar::platform::SystemClock clock;
  vellumar::LogSinks logs(clock, vellumar::platform::ReadUserLocale());
  TerminalProgress progress(env.Err, env.ErrIsTerminal);
  logs.BenchMark.SetWriter([&](const std::string& entry) {
    progress.Clear();
    env.Out << entry << '\n' << std::flush;
  });

  std::atomic<bool> localStop{false};
  std::atomic<bool>& stop = env.StopRequested != nullptr ? *env.StopRequested : localStop;
  vellumar::platform::LinuxVolumeSystem volumeSystem(env.SysfsRoot, env.ProcRoot, env.DevRoot);
  vellumar::ops::ErasureParts parts = ErasureParts(drive, logs, volumeSystem, env);
  vellumar::FormatDisplay display;
  vellumar::RunControls controls;
  vellumar::ops::ErasureServices services{logs, clock, stop, display, progress, controls};
  vellumar::ops::ErasureRequest request;
  request.Drive = drive.Entry;
  request.Caption = vellumar::DriveCaption(drive.Entry, logs.Locale());
  request.Method = options.Method;
  request.AllowBridge = options.AllowBridge;
  request.HeaderNotes = headerNotes;
  request.Verify = options.Verify;
  request.Operator = options.Operator;
  const auto confirm = [&](const vellumar::ConfirmationRequest& confirmation) {
    const bool yes = ConfirmOnTerminal(options, drive.Entry.DevicePath, ResolvedNode(drive, env), confirmation, env);
    EndAbortOnSignal(env);
    return yes;
  };

  const vellumar::ops::ErasureResult result = vellumar::ops::RunErasure(request, parts, services, confirm);
  progress.Clear();
  if (!result.OpenFailure.empty()) {
    env.Err << "Error opening device: " << result.OpenFailure << "\n";
  }
  const int status = vellumar::ops::ErasureExitStatus(result);
  if (!certificate || !result.Certificate) {
    return status;
  }
  return StatusWithCertificate(status, WriteCertificateInto(*result.Certificate, result.Ended, *certificate, env));
}

}  // namespace vellumar::cli

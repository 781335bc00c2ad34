#include <cerrno>
#include <istream>
#include <ostream>

#include "cli/cli_agreement.h"
#include "cli/cli_commands.h"
#include "cli/drive_argument.h"
#include "cli/terminal_progress.h"
#include "devices/format_controller.h"
#include "devices/text_format.h"
#include "devices/volume_locking.h"
#include "platform/linux/format_target.h"
#include "platform/linux/linux_volume_system.h"
#include "platform/linux/system_clock.h"
#include "platform/linux/user_locale.h"

namespace vellumar::cli {

namespace {

constexpr std::int64_t kMinimumSectors = 65535;

struct FormatOptions {
  std::string Device;
  std::string Serial;
  bool Quick = false;
  bool Yes = false;
};

bool ParseFormatOptions(const std::vector<std::string>& args, FormatOptions& options, std::ostream& err) {
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg == "--quick") {
      options.Quick = true;
    } else if (arg == "--yes") {
      options.Yes = true;
    } else if (arg == "--serial") {
      if (i + 1 >= args.size()) {
        err << "vellumar-cli format: --serial needs the drive's serial number\n";
        return false;
      }
      options.Serial = args[++i];
    } else if (!arg.empty() && arg[0] == '-') {
      err << "vellumar-cli format: unknown option '" << arg << "'\n";
      return false;
    } else if (options.Device.empty()) {
      options.Device = arg;
    } else {
      err << "vellumar-cli format: only one DEVICE may be given\n";
      return false;
    }
  }
  if (options.Device.empty()) {
    err << "vellumar-cli format: DEVICE is missing\n";
    return false;
  }
  return true;
}

// On a terminal the user confirms by typing the device path; elsewhere only --yes confirms.
// A row number of 'list' is confirmed with the node it names now, not with the number.
int ConfirmOnTerminal(const FormatOptions& options, const std::string& path, const std::string& caption,
                      CliEnvironment& env) {
  if (options.Yes) {
    return vellumar::kDialogYes;
  }
  if (!env.InIsTerminal) {
    env.Err << "vellumar-cli format: refusing to format without --yes when standard input is not a terminal\n";
    return vellumar::kDialogCancel;
  }
  const vellumar::ConfirmationRequest request = vellumar::FormatConfirmation(caption);
  env.Err << request.Title << ": " << request.MainInstruction << "\n"
          << "Are you absolutely sure you want to irreversibly destroy all data on this device?\n\n"
          << caption << "\n\nType the device path (" << path << ") to confirm: " << std::flush;
  std::string answer;
  std::getline(env.In, answer);
  if (answer != path) {
    env.Err << "Not confirmed; nothing was written.\n";
    return vellumar::kDialogCancel;
  }
  return vellumar::kDialogYes;
}

// Until the user has confirmed, a signal ends the command at once: nothing was touched yet.
void EndAbortOnSignal(CliEnvironment& env) {
  if (env.AbortOnSignal != nullptr) {
    env.AbortOnSignal->store(false);
  }
}

int ExitStatusOf(const vellumar::RunReport& report) {
  if (!report.WorkerRan) {
    return kExitRefused;
  }
  switch (report.Result.Outcome) {
    case vellumar::FormatOutcome::Cancelled:
      return kExitCancelled;
    case vellumar::FormatOutcome::Terminated:
      return kExitTerminated;
    case vellumar::FormatOutcome::Completed:
      break;
  }
  return report.Result.ErrorLines > 0 ? kExitCompletedWithErrors : kExitOk;
}

}  // namespace

int RunFormatCommand(const std::vector<std::string>& commandArgs, CliEnvironment& env) {
  // The first-run agreement comes before anything else happens; it takes --agree out of the list.
  std::vector<std::string> args = commandArgs;
  if (!EnsureAgreement(args, env)) {
    return kExitRefused;
  }

  FormatOptions options;
  if (!ParseFormatOptions(args, options, env.Err)) {
    return kExitUsage;
  }
  if (options.Yes && IsRowNumber(options.Device)) {
    // Nobody reads the confirmation, and rows shift when a disk comes or goes.
    env.Err << "vellumar-cli format: a row number of 'list' is not accepted with --yes; name the device node, "
               "preferably a stable /dev/disk/by-id/... link\n";
    return kExitRefused;
  }
  ResolvedDrive drive;
  std::string error;
  if (!ResolveDrive(options.Device, env, drive, error)) {
    env.Err << "Error opening device: " << error << "\n";
    return kExitUsage;
  }
  if (const std::string mismatch = SerialMismatch(drive, options.Serial); !mismatch.empty()) {
    env.Err << "vellumar-cli format: " << mismatch << "\n";
    return kExitRefused;
  }
  if (drive.Entry.IdentifyData.LBA < kMinimumSectors) {
    env.Err << "This device cannot be accessed because it is smaller than 65535 sectors.  \n";
    return kExitRefused;
  }

  vellumar::platform::SystemClock clock;
  vellumar::LogSinks logs(clock, vellumar::platform::ReadUserLocale());
  const std::string caption = vellumar::DriveCaption(drive.Entry, logs.Locale());
  TerminalProgress progress(env.Err, env.ErrIsTerminal);
  logs.BenchMark.SetWriter([&](const std::string& entry) {
    progress.Clear();
    env.Out << entry << '\n' << std::flush;
  });

  std::atomic<bool> localStop{false};
  std::atomic<bool>& stop = env.StopRequested != nullptr ? *env.StopRequested : localStop;
  vellumar::platform::LinuxFormatTarget target(drive.Entry.DevicePath, env.SysfsRoot, env.ProcRoot, drive.Pin);
  // An image file carries no volumes of the system's; a disk's volumes are taken away for the run.
  vellumar::NoVolumes noVolumes;
  vellumar::platform::LinuxVolumeSystem volumeSystem(env.SysfsRoot, env.ProcRoot, env.DevRoot);
  volumeSystem.PinDisk(drive.Entry.DeviceNumber, drive.Pin.Rdev);
  vellumar::VolumeLocking diskVolumes(volumeSystem, logs);
  vellumar::VolumeLocker& volumes = drive.Entry.IsFile ? static_cast<vellumar::VolumeLocker&>(noVolumes) : diskVolumes;
  target.SetHandOver([&volumes] { volumes.ReleaseClaims(); });
  vellumar::FormatDisplay display;
  vellumar::RunControls controls;
  const auto confirm = [&](const vellumar::ConfirmationRequest& /*request*/) {
    const int answer = ConfirmOnTerminal(options, drive.Entry.DevicePath, caption, env);
    EndAbortOnSignal(env);
    return answer;
  };
  vellumar::RunServices services{logs, clock, volumes, target, stop, display, progress, controls, confirm};
  vellumar::RunRequest request{options.Quick, drive.Entry, caption};

  vellumar::RunReport report;
  try {
    report = vellumar::RunLowLevelFormat(request, services);
  } catch (const std::exception& failure) {
    progress.Clear();
    logs.BenchMarkLog(std::string("Operation terminated: ") + failure.what());
    return kExitTerminated;
  }
  progress.Clear();
  if (!report.Locked && target.LastError() != 0 && target.LastError() != EBUSY) {
    env.Err << "Error opening device: " << target.LastFailure() << "\n";
  }
  return ExitStatusOf(report);
}

}  // namespace vellumar::cli

#include <algorithm>
#include <cerrno>
#include <istream>
#include <optional>
#include <ostream>

#include "cli/certificate_output.h"
#include "cli/cli_agreement.h"
#include "cli/cli_commands.h"
#include "cli/command_line.h"
#include "cli/drive_argument.h"
#include "cli/drive_survey.h"
#include "cli/terminal_progress.h"
#include "cli/verify_options.h"
#include "devices/base/text_format.h"
#include "devices/erase/format_controller.h"
#include "devices/erase/volume_locking.h"
#include "platform/linux/host/directory_sink.h"
#include "platform/linux/host/system_clock.h"
#include "platform/linux/host/user_locale.h"
#include "platform/linux/io/format_target.h"
#include "platform/linux/volumes/linux_volume_system.h"

namespace vellumar::cli {

namespace {

constexpr std::int64_t kMinimumSectors = 65535;

struct FormatOptions {
  std::string Device;
  std::string Serial;
  bool Quick = false;
  bool Yes = false;
  bool Agree = false;
  vellumar::VerifyMethod Verify = vellumar::VerifyMethod::None;
  std::string CertificateDir;
  std::string Operator;
};

std::optional<int> ParseFormatOptions(const std::vector<std::string>& args, FormatOptions& options,
                                      CliEnvironment& env) {
  CommandLine line;
  if (const std::optional<int> status = ParseCommandLine(*FindCommand("format"), args, line, env)) {
    return status;
  }
  options.Device = line.Operand;
  options.Serial = line.Value("--serial");
  options.Quick = line.Flag("--quick");
  options.Yes = line.Flag("--yes");
  options.Agree = line.Flag("--agree");
  options.CertificateDir = line.Value("--certificate");
  options.Operator = line.Value("--operator");
  if (line.Values.contains("--verify")) {
    const auto parsed = vellumar::ParseVerifyMethod(line.Value("--verify"));
    if (!parsed) {
      env.Err << "vellumar-cli format: --verify takes none, sample or full\n";
      return kExitUsage;
    }
    options.Verify = *parsed;
  }
  if (options.Device.empty()) {
    env.Err << "vellumar-cli format: DEVICE is missing\n";
    return kExitUsage;
  }
  return std::nullopt;
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

int RunFormatCommand(const std::vector<std::string>& args, CliEnvironment& env) {
  FormatOptions options;
  if (const std::optional<int> status = ParseFormatOptions(args, options, env)) {
    return *status;
  }
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

  // A certificate that cannot be written is found out before anything is erased.
  if (!options.CertificateDir.empty()) {
    if (const std::string bad = vellumar::platform::CheckCertificateFolder(options.CertificateDir); !bad.empty()) {
      env.Err << "vellumar-cli format: --certificate: " << bad << "\n";
      return kExitUsage;
    }
  }

  vellumar::platform::SystemClock clock;
  vellumar::LogSinks logs(clock, vellumar::platform::ReadUserLocale());
  const std::string caption = vellumar::DriveCaption(drive.Entry, logs.Locale());

  CertificateRecorder recorder(drive, options.Operator, "erasure", env);
  TerminalProgress progress(env.Err, env.ErrIsTerminal);
  logs.BenchMark.SetWriter([&](const std::string& entry) {
    progress.Clear();
    env.Out << entry << '\n' << std::flush;
    recorder.AddLogLine(entry);
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
  const DriveInspection inspection = InspectDrive(drive, env);
  recorder.Certificate().HiddenArea = inspection.HiddenArea;
  recorder.Certificate().Smart = inspection.Smart;
  vellumar::RunRequest request{options.Quick, drive.Entry, caption,
                               vellumar::HiddenAreaWarnings(inspection.HiddenArea)};
  std::optional<vellumar::VerifyResult> check;
  std::optional<std::string> runSpeed;  // the check redraws the speed display
  if (options.Verify != vellumar::VerifyMethod::None) {
    services.AfterCompletedRun = [&](vellumar::BlockDevice& device, const vellumar::FormatResult& result) {
      runSpeed = display.SpeedText;
      const vellumar::VerifyRequest verify =
          vellumar::RunVerifyRequest(options.Verify, FreshSeed(), drive.Entry.IdentifyData, options.Quick, result);
      vellumar::FormatContext context{device, clock, logs, stop, display, progress};
      check = vellumar::VerifyDevice(verify, context);
      recorder.Certificate().Verification =
          vellumar::CheckRecord(options.Verify, verify.Seed, *check, verify.SectorSize);
    };
  }

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
  const int status = check ? ExitStatusAfterCheck(*check, ExitStatusOf(report)) : ExitStatusOf(report);
  if (options.CertificateDir.empty() || !report.WorkerRan) {
    return status;
  }
  const vellumar::TIdentifyDeviceData& identity = drive.Entry.IdentifyData;
  recorder.Certificate().Erase = vellumar::EraseRecord(
      options.Quick, std::max(identity.LBA * identity.SectorSize, drive.Entry.IsFile ? drive.Entry.FileSize : 0),
      identity.SectorSize, report.Result, recorder.Certificate().Log, runSpeed.value_or(display.SpeedText));
  return recorder.Write(options.CertificateDir, env) || status != kExitOk ? status : kExitUsage;
}

}  // namespace vellumar::cli

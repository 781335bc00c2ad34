#include <chrono>
#include <ostream>
#include <thread>

#include "cli/cli_commands.h"
#include "cli/command_line.h"
#include "cli/drive_catalogue.h"
#include "devices/base/text_format.h"
#include "devices/unattended/kernel_options.h"
#include "platform/linux/host/system_clock.h"
#include "platform/linux/sysfs/sysfs_files.h"
#include "platform/linux/volumes/removable_media.h"

namespace vellumar::cli {

namespace {

// Where the live image mounts the stick named by vellumar.certificates=LABEL.
constexpr std::string_view kUnattendedCertificateFolder = "/media/certificates";
constexpr int kUnattendedAttempts = 5;
constexpr int kUnattendedRetrySeconds = 3;

struct UnattendedOutcome {
  std::string Serial;
  std::string Text;
};

// What a format run's exit status means for the summary.
std::string UnattendedStatusText(int status, vellumar::VerifyMethod verify, const std::string& node) {
  const std::string check = verify == vellumar::VerifyMethod::None
                                ? "not read back"
                                : std::string(vellumar::VerifyMethodName(verify)) + " check passed";
  switch (status) {
    case kExitOk:
      return "erased, " + check + " (" + node + ")";
    case kExitCompletedWithErrors:
      return "FAILED: erased, but some blocks could not be written (" + node + ")";
    case kExitCancelled:
      return "FAILED: cancelled (" + node + ")";
    case kExitTerminated:
      return "FAILED: terminated: the drive disappeared, is write-protected or failed to flush (" + node + ")";
    case kExitRefused:
      return "refused: the run refused the drive, see above (" + node + ")";
    case kExitVerifyFailed:
      return "FAILED: erased, but the check does not read zeros (" + node + ")";
    default:
      return "FAILED: the drive could not be opened or the certificate not written, see above (" + node + ")";
  }
}

std::vector<vellumar::ListedDrive> ListDrives(CliEnvironment& env) {
  vellumar::platform::SystemClock clock;
  vellumar::LogSinks logs(clock, vellumar::LocaleSettings{});
  const CliCatalogue loaded = LoadCatalogue(env, logs, {});
  std::vector<vellumar::ListedDrive> drives;
  for (std::int64_t slot = 1; loaded.Result.Ok && slot <= loaded.Catalogue.DeviceCount; ++slot) {
    const vellumar::TDeviceTable& entry = loaded.Catalogue.DeviceTable(slot);
    if (!entry.IsFile) {
      drives.push_back({entry.IdentifyData.SN, entry.DevicePath, entry.SystemVolume});
    }
  }
  return drives;
}

// Refusals before anything is erased: errors in the options, a certificate stick that is missing.
std::optional<int> CheckUnattendedOptions(const vellumar::KernelOptions& options, CliEnvironment& env) {
  if (!options.Errors.empty()) {
    for (const std::string& error : options.Errors) {
      env.Out << "  error: " << error << "\n";
    }
    env.Out << "Nothing was erased.\n" << std::flush;
    return kExitUsage;
  }
  if (!options.CertificateLabel.empty() &&
      !vellumar::platform::IsMountedFolder(env.ProcRoot, std::string(kUnattendedCertificateFolder))) {
    env.Out << "  error: the certificate stick labelled '" << options.CertificateLabel << "' is not mounted at "
            << kUnattendedCertificateFolder << "\nNothing was erased.\n"
            << std::flush;
    return kExitRefused;
  }
  return std::nullopt;
}

}  // namespace

int RunUnattendedCommand(const std::vector<std::string>& args, CliEnvironment& env) {
  CommandLine line;
  if (const std::optional<int> status = ParseCommandLine(*FindCommand("unattended"), args, line, env)) {
    return *status;
  }
  const std::string source = line.Values.contains("--cmdline") ? line.Value("--cmdline") : env.ProcRoot + "/cmdline";
  const vellumar::KernelOptions options = vellumar::ParseKernelOptions(vellumar::platform::ReadTextFile(source));
  env.Out << "Vellumar unattended erase (" << source << ")\n";
  if (!options.EraseRequested && options.Errors.empty()) {
    env.Out << "No vellumar.erase= on the kernel command line: nothing to erase.\n";
    return kExitOk;
  }
  if (const std::optional<int> status = CheckUnattendedOptions(options, env)) {
    return *status;
  }
  const vellumar::UnattendedPlan plan = vellumar::PlanUnattendedErase(options.Serials, ListDrives(env));
  std::vector<UnattendedOutcome> outcomes;
  int worst = plan.Refused.empty() ? kExitOk : kExitRefused;
  for (const vellumar::PlannedErase& drive : plan.Erase) {
    if (line.Flag("--dry-run")) {
      outcomes.push_back({drive.Serial, "would be erased (" + drive.Node + ")"});
      continue;
    }
    env.Out << "\n== " << vellumar::ReplaceControlCharacters(drive.Serial) << " on " << drive.Node << "\n"
            << std::flush;
    // The same run as 'format' with the serial checked again: the job refuses what it must.
    std::vector<std::string> format = {drive.Node,
                                       "--serial",
                                       drive.Serial,
                                       "--yes",
                                       "--agree",
                                       "--verify",
                                       std::string(vellumar::VerifyMethodName(options.Verify))};
    if (!options.CertificateLabel.empty()) {
      format.insert(format.end(), {"--certificate", std::string(kUnattendedCertificateFolder)});
    }
    // Listing the drives opened them, and udev probes a disk again after that: a refusal (which
    // wrote nothing) is tried again a few times before it counts.
    int status = RunFormatCommand(format, env);
    for (int attempt = 1; status == kExitRefused && attempt < kUnattendedAttempts; ++attempt) {
      env.Out << "Refused; trying again in " << kUnattendedRetrySeconds << " seconds.\n" << std::flush;
      std::this_thread::sleep_for(std::chrono::seconds(kUnattendedRetrySeconds));
      status = RunFormatCommand(format, env);
    }
    outcomes.push_back({drive.Serial, UnattendedStatusText(status, options.Verify, drive.Node)});
    worst = worst == kExitOk ? status : worst;
  }
  for (const vellumar::RefusedSerial& refused : plan.Refused) {
    outcomes.push_back({refused.Serial, "refused: " + refused.Reason});
  }
  env.Out << "\nSummary of the unattended erase";
  if (!options.CertificateLabel.empty()) {
    env.Out << " (certificates on '" << options.CertificateLabel << "', " << kUnattendedCertificateFolder << ")";
  }
  env.Out << ":\n";
  for (const UnattendedOutcome& outcome : outcomes) {
    env.Out << "  " << vellumar::ReplaceControlCharacters(outcome.Serial) << "  " << outcome.Text << "\n";
  }
  env.Out << (worst == kExitOk ? "Every drive named was erased.\n" : "Not every drive named was erased.\n")
          << std::flush;
  return worst;
}

}  // namespace vellumar::cli

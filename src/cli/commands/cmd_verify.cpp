#include <atomic>
#include <cstring>
#include <optional>
#include <ostream>
#include <string>

#include "cli/certificate_output.h"
#include "cli/cli_commands.h"
#include "cli/command_line.h"
#include "cli/drive_argument.h"
#include "cli/terminal_progress.h"
#include "devices/base/product.h"
#include "devices/base/text_format.h"
#include "devices/verify/verification.h"
#include "ops/certificate_record.h"
#include "ops/exit_status.h"
#include "ops/linux/drive_survey.h"
#include "ops/linux/linux_parts.h"
#include "ops/sample_seed.h"
#include "platform/linux/host/system_clock.h"
#include "platform/linux/host/user_locale.h"
#include "platform/linux/io/identity_pin.h"
#include "platform/linux/io/read_only_device.h"
#include "platform/linux/volumes/drive_census.h"

namespace vellumar::cli {

namespace {

struct VerifyOptions {
  std::string Drive;
  vellumar::VerifyMethod Method = vellumar::VerifyMethod::Full;
  std::optional<std::uint64_t> Seed;
  std::string Serial;
  CertificateRequest Certificate;
  std::string Operator;
};

// Seeds stay below 2^53: JSON readers hold numbers as doubles, and a larger seed would come back
// from a certificate as another number.
constexpr std::uint64_t kSeedLimit = std::uint64_t{1} << 53U;

bool ParseSeed(const std::string& text, std::uint64_t& seed) {
  if (text.empty() || text.size() > 16 || text.find_first_not_of("0123456789") != std::string::npos) {
    return false;
  }
  seed = std::stoull(text);
  return seed < kSeedLimit;
}

std::optional<int> ParseVerifyOptions(const std::vector<std::string>& args, VerifyOptions& options,
                                      CliEnvironment& env) {
  CommandLine line;
  if (const std::optional<int> status = ParseCommandLine(*FindCommand("verify"), args, line, env)) {
    return status;
  }
  if (line.Flag("--sample") && line.Flag("--full")) {
    env.Err << "vellumar-cli verify: --sample and --full exclude each other\n";
    return kExitUsage;
  }
  options.Drive = line.Operand;
  options.Serial = line.Value("--serial");
  options.Operator = line.Value("--operator");
  if (const std::optional<int> status = ReadCertificateOptions("verify", line, options.Certificate, env)) {
    return status;
  }
  if (line.Flag("--sample")) {
    options.Method = vellumar::VerifyMethod::Sample;
  }
  if (line.Values.contains("--seed")) {
    // A seed reads that sample again.
    std::uint64_t seed = 0;
    if (!ParseSeed(line.Value("--seed"), seed)) {
      env.Err << "vellumar-cli verify: --seed takes a whole number below 9007199254740992 (2^53)\n";
      return kExitUsage;
    }
    options.Seed = seed;
    options.Method = vellumar::VerifyMethod::Sample;
  }
  if (options.Drive.empty()) {
    env.Err << "vellumar-cli verify: DRIVE is missing\n";
    return kExitUsage;
  }
  return std::nullopt;
}

// A drive that is mounted, active as swap, or written by anyone else cannot pass a check that
// means anything: it is refused, with what uses it. Readers are no harm.
bool DriveInUse(const ResolvedDrive& drive, CliEnvironment& env) {
  const vellumar::platform::CensusSystem system =
      vellumar::platform::SystemCensus(env.SysfsRoot, env.ProcRoot, env.DevRoot);
  const vellumar::DriveCensus census =
      drive.Entry.IsFile ? vellumar::platform::ImageCensus(system, drive.Pin.FileDevice, drive.Pin.FileInode)
                         : vellumar::platform::DiskCensus(system, drive.Pin.Rdev);
  bool inUse = false;
  for (const vellumar::VolumeTake& take : census.Takes) {
    env.Err << "In use: " << take.Node
            << (take.MountPoint.empty() ? " is active as swap" : " is mounted on " + take.MountPoint) << "\n";
    inUse = true;
  }
  for (const vellumar::DriveCensus::User& user : census.Users) {
    if (!user.OnlyReads) {
      env.Err << "In use: " << user.Text << "\n";
      inUse = true;
    }
  }
  if (inUse) {
    env.Err << "vellumar-cli verify: the drive is in use; nothing was read.\n";
  }
  return inUse;
}

void WriteVerifyHeader(vellumar::LogSinks& logs, const std::string& caption, std::int64_t sectors) {
  logs.BenchMarkLog(" ");
  logs.BenchMarkLog("=================================================");
  logs.BenchMarkLog(std::string(vellumar::kProductName) + "; " + std::string(vellumar::kProductWebAddress));
  logs.BenchMarkLog("Read-back check: " + caption);
  logs.BenchMarkLog("Device capacity: " + vellumar::GroupThousands(sectors) + " sectors");
}

}  // namespace

int RunVerifyCommand(const std::vector<std::string>& args, CliEnvironment& env) {
  VerifyOptions options;
  if (const std::optional<int> status = ParseVerifyOptions(args, options, env)) {
    return *status;
  }
  ResolvedDrive drive;
  std::string error;
  if (!ResolveDrive(options.Drive, env, drive, error, true)) {
    env.Err << "Error opening device: " << error << "\n";
    return kExitUsage;
  }
  if (const std::string mismatch = SerialMismatch(drive, options.Serial); !mismatch.empty()) {
    env.Err << "vellumar-cli verify: " << mismatch << "; nothing was read.\n";
    return kExitRefused;
  }
  if (DriveInUse(drive, env)) {
    return kExitRefused;
  }
  int openError = 0;
  // Held exclusively while it is read: nothing mounts it in the middle of the check.
  auto device = vellumar::platform::LinuxReadOnlyDevice::Open(drive.Entry.DevicePath, env.SysfsRoot, openError,
                                                              !drive.Entry.IsFile);
  if (device == nullptr) {
    env.Err << "Error opening device: " << drive.Entry.DevicePath << ": " << std::strerror(openError) << "\n";
    return kExitUsage;
  }
  // Reading is harmless, but the result must belong to the drive that was named.
  const std::string changed = vellumar::platform::CheckPinnedIdentity(device->Descriptor(), drive.Pin, env.SysfsRoot);
  if (!changed.empty()) {
    env.Err << "Error opening device: " << changed << "\n";
    return kExitUsage;
  }

  std::optional<vellumar::ops::CertificateOutput> output;
  if (const std::optional<int> status = PrepareCertificate("verify", options.Certificate, output, env)) {
    return *status;
  }

  vellumar::platform::SystemClock clock;
  vellumar::LogSinks logs(clock, vellumar::platform::ReadUserLocale());
  TerminalProgress progress(env.Err, env.ErrIsTerminal);
  logs.BenchMark.SetWriter([&](const std::string& entry) {
    progress.Clear();
    env.Out << entry << '\n' << std::flush;
  });
  vellumar::ops::LinuxCertificateFacts facts(drive.Pin.Rdev, RootsOf(env));
  const std::time_t started = facts.Now();
  vellumar::ErasureCertificate certificate =
      vellumar::ops::StartCertificate("verification", drive.Entry, options.Operator, facts);
  logs.BenchMark.SetTap([&certificate](const std::string& entry) { certificate.Log.push_back(entry); });
  const vellumar::TIdentifyDeviceData& identity = drive.Entry.IdentifyData;
  WriteVerifyHeader(logs, vellumar::DriveCaption(drive.Entry, logs.Locale()), identity.LBA);
  vellumar::ops::LinuxDriveInspector inspector(drive.Entry, drive.Pin, env.SysfsRoot, device->Descriptor());
  const vellumar::ops::DriveInspection inspection = inspector.Inspect();
  for (const std::string& warning : vellumar::HiddenAreaWarnings(inspection.HiddenArea)) {
    logs.BenchMarkLog(warning);
  }
  certificate.HiddenArea = inspection.HiddenArea;
  certificate.Smart = inspection.Smart;
  certificate.Health = vellumar::ops::HealthSummary(inspection);

  vellumar::VerifyRequest request;
  request.Method = options.Method;
  request.Seed = options.Seed.value_or(vellumar::ops::NewSampleSeed());
  request.SectorSize = identity.SectorSize > 0 ? identity.SectorSize : 512;
  request.Extents = vellumar::VerificationExtents(options.Method, vellumar::DriveTotalBytes(drive.Entry),
                                                  request.SectorSize, false, request.Seed);
  std::atomic<bool> localStop{false};
  std::atomic<bool>& stop = env.StopRequested != nullptr ? *env.StopRequested : localStop;
  vellumar::FormatDisplay display;
  vellumar::FormatContext context{*device, clock, logs, stop, display, progress};
  const vellumar::VerifyResult result = vellumar::VerifyDevice(request, context);
  logs.BenchMark.SetTap(nullptr);
  progress.Clear();
  const int status = vellumar::ops::ExitStatusAfterCheck(result, kExitOk);
  if (!output) {
    return status;
  }
  certificate.Verification = vellumar::CheckRecord(request.Method, request.Seed, result, request.SectorSize);
  const std::time_t ended = facts.Now();
  vellumar::ops::FinishCertificate(certificate, facts, started, ended);
  return StatusWithCertificate(status, WriteCertificateInto(certificate, ended, *output, env));
}

}  // namespace vellumar::cli

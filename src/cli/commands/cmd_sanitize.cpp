#include <optional>
#include <ostream>

#include "cli/cli_commands.h"
#include "cli/command_line.h"
#include "cli/commands/erase_command.h"
#include "devices/reports/firmware_json.h"
#include "platform/linux/host/system_clock.h"
#include "platform/linux/host/user_locale.h"

namespace vellumar::cli {

namespace {

struct SanitizeOptions {
  EraseOptions Erase;
  bool ListMethods = false;
  bool Json = false;
};

std::optional<int> ParseSanitizeOptions(const std::vector<std::string>& args, SanitizeOptions& options,
                                        CliEnvironment& env) {
  CommandLine line;
  if (const std::optional<int> status = ParseCommandLine(*FindCommand("sanitize"), args, line, env)) {
    return status;
  }
  EraseOptions& erase = options.Erase;
  erase.Command = "sanitize";
  erase.Device = line.Operand;
  erase.Serial = line.Value("--serial");
  erase.Yes = line.Flag("--yes");
  erase.Agree = line.Flag("--agree");
  erase.AllowBridge = line.Flag("--allow-bridge");
  erase.Operator = line.Value("--operator");
  options.ListMethods = line.Flag("--list-methods");
  options.Json = line.Flag("--json");
  if (erase.Device.empty()) {
    env.Err << "vellumar-cli sanitize: DRIVE is missing\n";
    return kExitUsage;
  }
  if (options.ListMethods) {
    return std::nullopt;
  }
  if (options.Json) {
    env.Err << "vellumar-cli sanitize: --json goes with --list-methods\n";
    return kExitUsage;
  }
  const std::optional<vellumar::FirmwareMethod> method = vellumar::FirmwareMethodFromName(line.Value("--method"));
  if (!method) {
    env.Err << "vellumar-cli sanitize: "
            << (line.Values.contains("--method") ? "unknown method '" + line.Value("--method") + "'"
                                                 : std::string("--method is missing"))
            << "; 'vellumar-cli sanitize DRIVE --list-methods' lists the drive's methods\n";
    return kExitUsage;
  }
  erase.Method = vellumar::ops::EraseMethodFor(*method);
  if (const std::optional<int> status = ReadCertificateOptions("sanitize", line, erase.Certificate, env)) {
    return status;
  }
  if (line.Values.contains("--verify")) {
    const auto parsed = vellumar::ParseVerifyMethod(line.Value("--verify"));
    if (!parsed) {
      env.Err << "vellumar-cli sanitize: --verify takes none, sample or full\n";
      return kExitUsage;
    }
    erase.Verify = *parsed;
  }
  return std::nullopt;
}

// What the drive offers now: read-only commands only, nothing that changes it.
int ListMethods(const SanitizeOptions& options, CliEnvironment& env) {
  ResolvedDrive drive;
  std::string error;
  if (!ResolveDrive(options.Erase.Device, env, drive, error)) {
    env.Err << "Error opening device: " << error << "\n";
    return kExitUsage;
  }
  if (const std::string mismatch = SerialMismatch(drive, options.Erase.Serial); !mismatch.empty()) {
    env.Err << "vellumar-cli sanitize: " << mismatch << "\n";
    return kExitRefused;
  }
  vellumar::platform::SystemClock clock;
  vellumar::LogSinks logs(clock, vellumar::platform::ReadUserLocale());
  vellumar::platform::LinuxVolumeSystem volumes(env.SysfsRoot, env.ProcRoot, env.DevRoot);
  vellumar::ops::ErasureParts parts = ErasureParts(drive, logs, volumes, env);
  vellumar::FirmwareFacts facts;
  if (parts.Firmware) {
    facts = parts.Firmware->ReadFacts();
  }
  const std::vector<vellumar::MethodOffer> offers = vellumar::OfferFirmwareMethods(facts, options.Erase.AllowBridge);
  if (options.Json) {
    vellumar::Json doc;
    doc["node"] = drive.Entry.DevicePath;
    doc["serial"] = drive.Entry.IdentifyData.SN;
    doc["firmware_erase"] = vellumar::FirmwareJson(facts, offers);
    env.Out << vellumar::JsonText(doc);
    return kExitOk;
  }
  env.Out << "Firmware erase methods of " << drive.Entry.DevicePath << ":\n";
  for (const std::string& line : vellumar::FirmwareLines(facts, offers)) {
    env.Out << "  " << line << "\n";
  }
  for (const vellumar::MethodOffer& offer : offers) {
    if (offer.State == vellumar::MethodState::Refused) {
      env.Out << vellumar::FirmwareMethodName(offer.Method) << ": " << offer.Line << "\n";
    }
  }
  return kExitOk;
}

}  // namespace

int RunSanitizeCommand(const std::vector<std::string>& args, CliEnvironment& env) {
  SanitizeOptions options;
  if (const std::optional<int> status = ParseSanitizeOptions(args, options, env)) {
    return *status;
  }
  return options.ListMethods ? ListMethods(options, env) : RunEraseCommand(options.Erase, env);
}

}  // namespace vellumar::cli

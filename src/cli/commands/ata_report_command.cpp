#include "cli/commands/ata_report_command.h"

#include <cerrno>
#include <cstring>
#include <fstream>
#include <iterator>
#include <memory>
#include <optional>
#include <ostream>

#include "cli/command_line.h"
#include "cli/commands/firmware_facts_output.h"
#include "cli/commands/nvme_report_command.h"
#include "cli/drive_argument.h"
#include "devices/base/text_format.h"
#include "platform/linux/ata/linux_ata_passthrough.h"
#include "platform/linux/host/system_clock.h"
#include "platform/linux/host/user_locale.h"

namespace vellumar::cli {

namespace {

struct ReportOptions {
  std::string Drive;
  std::string FromFile;
  std::string Serial;
  bool Json = false;
};

std::optional<int> ParseReportOptions(std::string_view name, const std::vector<std::string>& args,
                                      ReportOptions& options, CliEnvironment& env) {
  CommandLine line;
  if (const std::optional<int> status = ParseCommandLine(*FindCommand(name), args, line, env)) {
    return status;
  }
  options = {line.Operand, line.Value("--from-file"), line.Value("--serial"), line.Flag("--json")};
  if (options.Drive.empty() == options.FromFile.empty()) {
    env.Err << "vellumar-cli " << name << ": give either DRIVE or --from-file SECTOR.bin\n";
    return kExitUsage;
  }
  return std::nullopt;
}

void PrintLines(vellumar::LogSinks& logs, const AtaReportCommand& command, std::ostream& out) {
  (logs.*command.Sink).SetWriter([&out](const std::string& entry) { out << entry << '\n' << std::flush; });
}

}  // namespace

bool ReadSectorFile(const std::string& path, vellumar::AtaSector& sector, std::string& error) {
  std::ifstream file(path, std::ios::binary);
  if (!file) {
    error = std::strerror(errno);
    return false;
  }
  // One byte more than a sector tells a longer file apart; /dev/zero is never read to its end.
  std::string bytes(sector.size() + 1, '\0');
  file.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  bytes.resize(static_cast<std::size_t>(file.gcount()));
  if (bytes.size() != sector.size()) {
    error = bytes.size() > sector.size() ? std::string("not a 512-byte sector (longer)")
                                         : "not a 512-byte sector (" + std::to_string(bytes.size()) + " bytes)";
    return false;
  }
  for (std::size_t i = 0; i < sector.size(); ++i) {
    sector[i] = static_cast<std::uint8_t>(bytes[i]);
  }
  return true;
}

int RunAtaReportCommand(const AtaReportCommand& command, const std::vector<std::string>& args, CliEnvironment& env) {
  ReportOptions options;
  if (const std::optional<int> status = ParseReportOptions(command.Name, args, options, env)) {
    return *status;
  }
  vellumar::platform::SystemClock clock;
  vellumar::LogSinks logs(clock, vellumar::platform::ReadUserLocale());
  if (!options.Json) {
    PrintLines(logs, command, env.Out);
  }

  if (!options.FromFile.empty()) {
    vellumar::AtaSector sector{};
    std::string error;
    if (!ReadSectorFile(options.FromFile, sector, error)) {
      env.Err << "vellumar-cli " << command.Name << ": " << options.FromFile << ": " << error << "\n";
      return kExitUsage;
    }
    if (options.Json) {
      env.Out << vellumar::JsonText(command.SectorJson(options.FromFile, sector)) << std::flush;
    } else {
      command.SectorReport(options.FromFile, sector, logs);
    }
    return kExitOk;
  }

  ResolvedDrive drive;
  std::string error;
  if (!ResolveDrive(options.Drive, env, drive, error)) {
    env.Err << "Error opening device: " << error << "\n";
    return kExitUsage;
  }
  if (const std::string mismatch = SerialMismatch(drive, options.Serial); !mismatch.empty()) {
    env.Err << "vellumar-cli " << command.Name << ": " << mismatch << "\n";
    return kExitRefused;
  }
  if (!drive.Entry.IsFile) {
    // An NVMe namespace gets the NVMe form of the report; anything else continues below.
    if (const std::optional<int> status = RunNvmeReportIfNvme(command, drive, env, logs, options.Json)) {
      return *status;
    }
  }
  // ATA commands are tried on every bus: SATA disks behind SAS adapters and USB bridges answer
  // them too. Only an image file is never asked.
  std::unique_ptr<vellumar::platform::DriveHandle> handle;
  std::optional<vellumar::platform::LinuxAtaPassThrough> ata;
  if (!drive.Entry.IsFile) {
    handle = OpenResolvedDrive(drive, env, error);
    if (!handle) {
      env.Err << "Error opening device: " << error << "\n";
      return kExitUsage;
    }
    ata.emplace(handle->Descriptor());
  }
  vellumar::AtaDriveState state;
  const bool details = command.Name == "details";
  if (options.Json) {
    vellumar::Json document = command.AtaJson(drive.Entry, ata ? &*ata : nullptr, state);
    if (details) {
      AddFirmwareFacts(drive, env, document);
    }
    env.Out << vellumar::JsonText(document) << std::flush;
    return document.value("available", false) ? kExitOk : kExitCompletedWithErrors;
  }
  const std::string caption = vellumar::DriveCaption(drive.Entry, logs.Locale());
  const bool shown = command.DriveReport(drive.Entry, caption, ata ? &*ata : nullptr, logs, state);
  if (details) {
    PrintFirmwareFacts(drive, env);
  }
  return shown ? kExitOk : kExitCompletedWithErrors;
}

}  // namespace vellumar::cli

#include <algorithm>
#include <ostream>

#include "cli/cli_commands.h"
#include "cli/command_line.h"
#include "cli/drive_catalogue.h"
#include "devices/catalogue/chooser_rows.h"
#include "devices/reports/firmware_json.h"
#include "devices/reports/list_json.h"
#include "ops/linux/drive_survey.h"
#include "ops/linux/firmware_access.h"
#include "platform/linux/host/system_clock.h"
#include "platform/linux/host/user_locale.h"
#include "platform/linux/sysfs/drive_list_facts.h"

namespace vellumar::cli {

namespace {

void PrintJson(const vellumar::DeviceCatalogue& catalogue, const CliEnvironment& env, std::ostream& out) {
  vellumar::Json drives = vellumar::Json::array();
  for (std::int64_t slot = 1; slot <= catalogue.DeviceCount; ++slot) {
    const vellumar::TDeviceTable& entry = catalogue.DeviceTable(slot);
    const vellumar::DriveListFacts facts =
        entry.IsFile
            ? vellumar::DriveListFacts{}
            : vellumar::platform::ReadDriveListFacts(entry.DevicePath, env.SysfsRoot, env.ProcRoot, env.DevRoot);
    vellumar::Json drive = vellumar::DriveListJson(slot, entry, facts);
    const vellumar::HiddenAreaReport hidden = vellumar::ops::HiddenAreaOf(entry, env.SysfsRoot);
    drive["hidden_area"] = vellumar::HiddenAreaStatusName(hidden.Status);
    drive["hidden_sectors"] = hidden.HpaHiddenSectors + hidden.DcoHiddenSectors;
    const vellumar::FirmwareFacts firmware = vellumar::ops::FirmwareFactsOf(entry, env.SysfsRoot, env.DevRoot);
    drive["firmware_erase"] = vellumar::FirmwareJson(firmware, vellumar::OfferFirmwareMethods(firmware, false));
    drives.push_back(drive);
  }
  out << vellumar::JsonText(vellumar::Json{{"drives", drives}}) << std::flush;
}

// A sanitize runs on in the drive and cannot be stopped: whoever lists the drives is told.
void PrintSanitizesInProgress(const vellumar::DeviceCatalogue& catalogue, const CliEnvironment& env,
                              std::ostream& out) {
  for (std::int64_t slot = 1; slot <= catalogue.DeviceCount; ++slot) {
    const vellumar::TDeviceTable& entry = catalogue.DeviceTable(slot);
    const vellumar::FirmwareFacts facts = vellumar::ops::FirmwareFactsOf(entry, env.SysfsRoot, env.DevRoot);
    if (facts.SanitizeInProgress()) {
      out << entry.DevicePath << ": a sanitize is in progress ("
          << static_cast<std::uint32_t>(facts.SanitizeProgress()) * 100U / 65536U
          << " % done); it cannot be stopped, and the drive answers only status commands until it ends.\n";
    }
  }
}

void PrintTable(const std::vector<vellumar::ChooserRow>& rows, const std::string& status, std::ostream& out) {
  std::vector<std::vector<std::string>> table = {
      {"#", "Bus", "Model", "Firmware", "Serial number", "LBA", "Capacity", "Device"}};
  for (std::size_t i = 0; i < rows.size(); ++i) {
    const vellumar::ChooserRow& row = rows[i];
    table.push_back(
        {std::to_string(i + 1), row.Bus, row.Model, row.Firmware, row.Serial, row.Lba, row.Capacity, row.Node});
  }
  std::vector<std::size_t> widths(table.front().size(), 0);
  for (const auto& line : table) {
    for (std::size_t c = 0; c < line.size(); ++c) {
      widths[c] = std::max(widths[c], line[c].size());
    }
  }
  for (const auto& line : table) {
    std::string text;
    for (std::size_t c = 0; c < line.size(); ++c) {
      text += line[c];
      if (c + 1 < line.size()) {
        text += std::string(widths[c] - line[c].size() + 2, ' ');
      }
    }
    out << text << '\n';
  }
  out << status << '\n';
}

}  // namespace

int RunListCommand(const std::vector<std::string>& args, CliEnvironment& env) {
  CommandLine options;
  if (const std::optional<int> status = ParseCommandLine(*FindCommand("list"), args, options, env)) {
    return *status;
  }
  const bool debug = options.Flag("--debug");
  vellumar::platform::SystemClock clock;
  vellumar::LogSinks logs(clock, vellumar::platform::ReadUserLocale());
  if (debug) {
    // The whole start-up trail: the debug log and, in debug mode, the format log's scan lines.
    // The descriptor dump ends with its own line break; the next entry still starts on a new line.
    const auto toErr = [&env](const std::string& entry) {
      env.Err << entry << (!entry.empty() && entry.back() == '\n' ? "" : "\n") << std::flush;
    };
    logs.Debug.SetWriter(toErr);
    logs.BenchMark.SetWriter(toErr);
  }
  const std::vector<std::string> parameters = debug ? std::vector<std::string>{"--debug"} : std::vector<std::string>{};
  const CliCatalogue loaded = LoadCatalogue(env, logs, parameters);
  if (!loaded.Result.Ok) {
    env.Err << "Error: " << loaded.Result.FatalMessage << "\n";
    return kExitUsage;
  }
  const std::vector<vellumar::ChooserRow> rows = vellumar::ChooserRows(loaded.Catalogue, logs.Locale());
  if (options.Flag("--json")) {
    PrintJson(loaded.Catalogue, env, env.Out);
  } else {
    PrintTable(rows, loaded.Result.StatusText, env.Out);
    PrintSanitizesInProgress(loaded.Catalogue, env, env.Out);
  }
  return kExitOk;
}

}  // namespace vellumar::cli

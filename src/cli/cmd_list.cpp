#include <algorithm>
#include <cstdio>
#include <ostream>

#include "cli/cli_commands.h"
#include "cli/drive_catalogue.h"
#include "cli/drive_inspection.h"
#include "devices/chooser_rows.h"
#include "platform/linux/system_clock.h"
#include "platform/linux/user_locale.h"

namespace vellumar::cli {

namespace {

struct ListOptions {
  bool Debug = false;
  bool Json = false;
};

bool ParseListOptions(const std::vector<std::string>& args, ListOptions& options, std::ostream& err) {
  for (const std::string& arg : args) {
    if (arg == "--debug") {
      options.Debug = true;
    } else if (arg == "--json") {
      options.Json = true;
    } else {
      err << "vellumar-cli list: unknown argument '" << arg << "'\n";
      return false;
    }
  }
  return true;
}

// Catalogue texts are bytes 0..255 read as characters; JSON gets bytes from 0x80 up as the
// characters of those codes, so any serial stays valid text.
std::string JsonString(const std::string& text) {
  std::string json = "\"";
  for (const char c : text) {
    const auto code = static_cast<unsigned char>(c);
    if (c == '"' || c == '\\') {
      json += '\\';
      json += c;
    } else if (code < 0x20 || code >= 0x7F) {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\u%04x", static_cast<unsigned>(code));
      json += escaped;
    } else {
      json += c;
    }
  }
  return json + "\"";
}

void PrintJson(const vellumar::DeviceCatalogue& catalogue, const std::vector<vellumar::ChooserRow>& rows,
               const std::string& sysfsRoot, std::ostream& out) {
  out << "[";
  for (std::size_t i = 0; i < rows.size(); ++i) {
    const vellumar::TDeviceTable& entry = catalogue.DeviceTable(static_cast<std::int64_t>(i) + 1);
    const vellumar::ChooserRow& row = rows[i];
    out << (i == 0 ? "\n" : ",\n") << "  {\"row\": " << i + 1 << ", \"bus\": " << JsonString(row.Bus)
        << ", \"model\": " << JsonString(row.Model) << ", \"firmware\": " << JsonString(row.Firmware)
        << ", \"serial\": " << JsonString(row.Serial) << ", \"lba\": " << row.Lba
        << ", \"capacity\": " << JsonString(row.Capacity) << ", \"device\": " << JsonString(entry.DevicePath)
        << ", \"drive_number\": " << entry.DeviceNumber << ", \"sector_size\": " << entry.IdentifyData.SectorSize
        << ", \"volumes\": " << JsonString(entry.AssociatedPartitions);
    const vellumar::HiddenAreaReport hidden = HiddenAreaOf(entry, sysfsRoot);
    out << ", \"hidden_area\": " << JsonString(vellumar::HiddenAreaStatusName(hidden.Status))
        << ", \"hidden_sectors\": " << hidden.HpaHiddenSectors + hidden.DcoHiddenSectors << "}";
  }
  out << (rows.empty() ? "]\n" : "\n]\n");
}

void PrintTable(const vellumar::DeviceCatalogue& catalogue, const std::vector<vellumar::ChooserRow>& rows,
                const std::string& status, std::ostream& out) {
  std::vector<std::vector<std::string>> table = {
      {"#", "Bus", "Model", "Firmware", "Serial number", "LBA", "Capacity", "Device"}};
  for (std::size_t i = 0; i < rows.size(); ++i) {
    const vellumar::ChooserRow& row = rows[i];
    table.push_back({std::to_string(i + 1), row.Bus, row.Model, row.Firmware, row.Serial, row.Lba, row.Capacity,
                     catalogue.DeviceTable(static_cast<std::int64_t>(i) + 1).DevicePath});
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
  ListOptions options;
  if (!ParseListOptions(args, options, env.Err)) {
    return kExitUsage;
  }
  vellumar::platform::SystemClock clock;
  vellumar::LogSinks logs(clock, vellumar::platform::ReadUserLocale());
  if (options.Debug) {
    // The whole start-up trail: the debug log and, in debug mode, the format log's scan lines.
    // The descriptor dump ends with its own line break; the next entry still starts on a new line.
    const auto toErr = [&env](const std::string& entry) {
      env.Err << entry << (!entry.empty() && entry.back() == '\n' ? "" : "\n") << std::flush;
    };
    logs.Debug.SetWriter(toErr);
    logs.BenchMark.SetWriter(toErr);
  }
  const std::vector<std::string> parameters =
      options.Debug ? std::vector<std::string>{"--debug"} : std::vector<std::string>{};
  const CliCatalogue loaded = LoadCatalogue(env, logs, parameters);
  if (!loaded.Result.Ok) {
    env.Err << "Error: " << loaded.Result.FatalMessage << "\n";
    return kExitUsage;
  }
  const std::vector<vellumar::ChooserRow> rows = vellumar::ChooserRows(loaded.Catalogue, logs.Locale());
  if (options.Json) {
    PrintJson(loaded.Catalogue, rows, env.SysfsRoot, env.Out);
  } else {
    PrintTable(loaded.Catalogue, rows, loaded.Result.StatusText, env.Out);
  }
  return kExitOk;
}

}  // namespace vellumar::cli

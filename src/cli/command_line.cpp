#include "cli/command_line.h"

#include <CLI/CLI.hpp>
#include <algorithm>
#include <ostream>
#include <utility>

namespace vellumar::cli {

namespace {

std::string Prefix(const CommandSpec& spec) { return "vellumar-cli " + std::string(spec.Name) + ": "; }

// A misspelt option is named with the table's option that shares the longest start with it, when
// that covers at least three letters after the dashes ("--quik" is "--quick").
std::string Hint(const CommandSpec& spec, std::string_view given) {
  std::string_view closest;
  std::size_t longest = 4;
  for (const OptionSpec& option : spec.Options) {
    const auto [mismatch, unused] = std::mismatch(given.begin(), given.end(), option.Name.begin(), option.Name.end());
    const auto shared = static_cast<std::size_t>(mismatch - given.begin());
    if (shared > longest) {
      closest = option.Name;
      longest = shared;
    }
  }
  const std::string hint = closest.empty() ? "" : "Did you mean '" + std::string(closest) + "'? ";
  return hint + "Run 'vellumar-cli " + std::string(spec.Name) + " --help' for its options.\n";
}

int UsageError(const CommandSpec& spec, const std::string& message, std::string_view given, CliEnvironment& env) {
  env.Err << Prefix(spec) << message << "\n" << Hint(spec, given);
  return kExitUsage;
}

bool IsOption(const std::string& word) { return word.size() > 1 && word[0] == '-'; }

}  // namespace

std::string CommandLine::Value(std::string_view name) const {
  const auto found = Values.find(name);
  return found == Values.end() ? std::string() : found->second;
}

std::optional<int> ParseCommandLine(const CommandSpec& spec, const std::vector<std::string>& args, CommandLine& line,
                                    CliEnvironment& env) {
  CLI::App app{std::string(spec.Summary), "vellumar-cli " + std::string(spec.Name)};
  // Unknown options come back in remaining(); they are reported here, with a hint.
  app.allow_extras(true);
  app.set_help_flag("-h,--help");
  std::vector<std::string> operands;
  if (!spec.Operand.empty()) {
    app.add_option(std::string(spec.Operand), operands);
  }
  std::vector<std::pair<const OptionSpec*, CLI::Option*>> options;
  for (const OptionSpec& option : spec.Options) {
    CLI::Option* parsed =
        option.ValueName.empty()
            ? app.add_flag(std::string(option.Name))
            : app.add_option(std::string(option.Name))->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);
    options.emplace_back(&option, parsed);
  }

  // CLI11 takes the arguments last first.
  std::vector<std::string> reversed(args.rbegin(), args.rend());
  try {
    app.parse(reversed);
  } catch (const CLI::CallForHelp&) {
    env.Out << CommandHelp(spec);
    return kExitOk;
  } catch (const CLI::ArgumentMismatch& mismatch) {
    // An option given without its value, at the end or right before another option.
    for (const auto& [option, parsed] : options) {
      if (!option->Needs.empty() && std::string_view(mismatch.what()).find(option->Name) != std::string_view::npos) {
        return UsageError(spec, std::string(option->Needs), "", env);
      }
    }
    return UsageError(spec, mismatch.what(), "", env);
  } catch (const CLI::ParseError& error) {
    return UsageError(spec, error.what(), "", env);
  }

  for (const std::string& extra : app.remaining()) {
    if (extra == "--") {
      continue;  // the end of the options, with nothing after it
    }
    if (IsOption(extra)) {
      return UsageError(spec, "unknown option '" + extra + "'", extra, env);
    }
    return UsageError(spec, "unknown argument '" + extra + "'", "", env);
  }
  if (operands.size() > 1) {
    return UsageError(spec, "only one " + std::string(spec.Operand) + " may be given", "", env);
  }
  line.Operand = operands.empty() ? std::string() : operands.front();
  for (const auto& [option, parsed] : options) {
    if (parsed->count() == 0) {
      continue;
    }
    if (option->ValueName.empty()) {
      line.Flags.emplace(option->Name);
    } else {
      line.Values.emplace(option->Name, parsed->as<std::string>());
    }
  }
  return std::nullopt;
}

std::string CommandHelp(const CommandSpec& spec) {
  std::string help = "Usage: vellumar-cli " + std::string(spec.Name) + " " + std::string(spec.Synopsis) + "\n\n" +
                     std::string(spec.Summary) + "\n\nOptions:\n";
  std::size_t width = std::string_view("-h, --help").size();
  for (const OptionSpec& option : spec.Options) {
    width = std::max(width, option.Name.size() + 1 + option.ValueName.size());
  }
  const auto row = [&help, width](std::string left, std::string_view text) {
    left.resize(width, ' ');
    help += "  " + left + "  " + std::string(text) + "\n";
  };
  for (const OptionSpec& option : spec.Options) {
    row(std::string(option.Name) + (option.ValueName.empty() ? "" : " " + std::string(option.ValueName)), option.Help);
  }
  row("-h, --help", "print this help");
  if (spec.Operand == "DEVICE" || spec.Operand == "DRIVE") {
    help += "\n" + std::string(spec.Operand) +
            ": a device node (/dev/sdb, /dev/disk/by-id/...), an image file, or a row number of 'list'\n"
            "(digits only; write ./3 for a file called 3). Options may come before or after it.\n";
  }
  return help + "\nExit status:\n" + std::string(spec.ExitStatuses);
}

std::string UsageText() {
  std::string usage =
      "Usage: vellumar-cli COMMAND [OPTIONS]\n"
      "\n"
      "Erases storage devices at the sector level. THE FORMAT COMMAND DESTROYS ALL DATA ON THE DEVICE.\n"
      "\n"
      "Commands:\n";
  for (const CommandSpec& command : Commands()) {
    usage += "  " + std::string(command.Name) + " " + std::string(command.Synopsis) + "\n      " +
             std::string(command.Summary) + "\n";
  }
  return usage +
         "\n"
         "DEVICE and DRIVE: a device node (/dev/sdb, /dev/disk/by-id/...), an image file, or a row number\n"
         "of 'list' (digits only; write ./3 for a file called 3). With --yes a row number is refused: name\n"
         "the node. --serial S refuses a drive that does not report exactly the serial number S.\n"
         "\n"
         "vellumar-cli COMMAND --help prints a command's options and exit statuses.\n"
         "vellumar-cli --version prints the version.\n";
}

}  // namespace vellumar::cli

#include "cli/verify_options.h"

#include <ostream>
#include <random>

#include "cli/cli_commands.h"

namespace vellumar::cli {

bool OptionValue(const std::vector<std::string>& args, std::size_t& index, const std::string& name, std::string& value,
                 bool& matched, std::ostream& err, const std::string& command) {
  const std::string& arg = args[index];
  matched = false;
  if (arg.rfind(name + "=", 0) == 0) {
    matched = true;
    value = arg.substr(name.size() + 1);
  } else if (arg == name) {
    matched = true;
    if (index + 1 >= args.size()) {
      err << "vellumar-cli " << command << ": " << name << " needs a value\n";
      return false;
    }
    value = args[++index];
  }
  return true;
}

std::uint64_t FreshSeed() {
  std::random_device entropy;
  // Kept below 2^53 so the seed survives any JSON reader as an exact number.
  const std::uint64_t high = entropy();
  return ((high << 32U) | entropy()) & ((std::uint64_t{1} << 53U) - 1U);
}

int ExitStatusAfterCheck(const vellumar::VerifyResult& result, int otherwise) {
  switch (result.Outcome) {
    case vellumar::VerifyOutcome::Failed:
      return kExitVerifyFailed;
    case vellumar::VerifyOutcome::Cancelled:
      return kExitCancelled;
    case vellumar::VerifyOutcome::Passed:
      break;
  }
  return otherwise;
}

}  // namespace vellumar::cli

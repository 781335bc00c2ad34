#include "cli/cli_agreement.h"

#include <algorithm>
#include <istream>
#include <ostream>

#include "devices/user/agreement.h"
#include "platform/linux/host/user_account.h"
#include "platform/linux/host/user_files.h"

namespace vellumar::cli {

namespace {

bool TakeOption(std::vector<std::string>& args, const std::string& option) {
  const auto end = std::remove(args.begin(), args.end(), option);
  const bool found = end != args.end();
  args.erase(end, args.end());
  return found;
}

}  // namespace

bool EnsureAgreement(std::vector<std::string>& args, CliEnvironment& env, const std::string& markerPath,
                     vellumar::UserFileAccess& files) {
  const bool agree = TakeOption(args, "--agree");
  if (vellumar::AgreementRecorded(markerPath, files)) {
    return true;
  }
  if (agree) {
    vellumar::RecordAgreement(markerPath, files);
    return true;
  }
  if (std::find(args.begin(), args.end(), "--yes") != args.end()) {
    return true;
  }
  if (!env.InIsTerminal) {
    env.Err << "vellumar-cli: the licence agreement has not been accepted; run once on a terminal, "
               "or pass --agree\n";
    return false;
  }
  env.Err << vellumar::kAgreementText << "\nDo you accept this agreement? Type 'yes' to accept: " << std::flush;
  std::string answer;
  std::getline(env.In, answer);
  if (answer != "yes" && answer != "YES" && answer != "Yes") {
    env.Err << "Agreement declined; nothing was written.\n";
    return false;
  }
  vellumar::RecordAgreement(markerPath, files);
  return true;
}

bool EnsureAgreement(std::vector<std::string>& args, CliEnvironment& env) {
  // Run through sudo, the marker is the invoking user's and is handled as that user.
  const vellumar::EnvironmentReader environment = vellumar::platform::ProcessEnvironment();
  const std::optional<vellumar::UserAccount> user = vellumar::platform::DeskUser(environment);
  const std::string folder = user ? vellumar::platform::UserDataFolder(*user, environment) : std::string();
  vellumar::platform::UserFiles files(user);
  return EnsureAgreement(args, env, vellumar::AgreementMarkerPath(folder), files);
}

}  // namespace vellumar::cli

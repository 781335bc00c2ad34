#include "platform/linux/host/user_account.h"

#include <dirent.h>
#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <vector>

namespace vellumar::platform {

vellumar::EnvironmentReader ProcessEnvironment() {
  return [](const std::string& name) {
    const char* value = std::getenv(name.c_str());
    return value == nullptr ? std::string() : std::string(value);
  };
}

std::optional<vellumar::UserAccount> LookUpAccount(std::uint32_t uid) {
  std::vector<char> buffer(16384);
  passwd entry{};
  passwd* found = nullptr;
  if (::getpwuid_r(static_cast<uid_t>(uid), &entry, buffer.data(), buffer.size(), &found) != 0 || found == nullptr) {
    return std::nullopt;
  }
  vellumar::UserAccount account;
  account.Uid = uid;
  account.Gid = entry.pw_gid;
  account.Name = entry.pw_name != nullptr ? entry.pw_name : "";
  account.Home = entry.pw_dir != nullptr ? entry.pw_dir : "";
  account.Shell = entry.pw_shell != nullptr ? entry.pw_shell : "";
  int count = 32;
  std::vector<gid_t> groups(static_cast<std::size_t>(count));
  if (::getgrouplist(entry.pw_name, entry.pw_gid, groups.data(), &count) < 0) {
    groups.resize(static_cast<std::size_t>(count));
    if (::getgrouplist(entry.pw_name, entry.pw_gid, groups.data(), &count) < 0) {
      count = 0;
    }
  }
  groups.resize(static_cast<std::size_t>(count));
  account.Groups.assign(groups.begin(), groups.end());
  if (account.Groups.empty()) {
    account.Groups.push_back(account.Gid);
  }
  return account;
}

std::optional<vellumar::UserAccount> DeskUser(const vellumar::EnvironmentReader& environment) {
  const std::optional<std::uint32_t> invoking =
      vellumar::InvokingUid(::getuid(), environment("PKEXEC_UID"), environment("SUDO_UID"));
  return LookUpAccount(invoking.value_or(::geteuid()));
}

bool ActsForAnotherUser(const vellumar::UserAccount& user) { return user.Uid != ::geteuid(); }

std::string UserDataFolder(const vellumar::UserAccount& user, const vellumar::EnvironmentReader& environment) {
  if (ActsForAnotherUser(user)) {
    return vellumar::DataFolderFor(environment("XDG_DATA_HOME"), user.Home);
  }
  return vellumar::DataFolderFor(environment("XDG_DATA_HOME"), environment("HOME"));
}

vellumar::RuntimeFolderFacts ReadRuntimeFolder(const vellumar::UserAccount& user, const std::string& runtimeRoot) {
  vellumar::RuntimeFolderFacts facts;
  const std::string folder = runtimeRoot + "/" + std::to_string(user.Uid);
  struct stat info {};
  if (::lstat(folder.c_str(), &info) != 0 || !S_ISDIR(info.st_mode) || info.st_uid != user.Uid) {
    return facts;
  }
  facts.Folder = folder;
  facts.HasBusSocket = ::lstat((folder + "/bus").c_str(), &info) == 0 && S_ISSOCK(info.st_mode);
  for (int n = 0; n < 4; ++n) {
    const std::string name = "wayland-" + std::to_string(n);
    std::string socket = folder;
    socket += "/";
    socket += name;
    if (::lstat(socket.c_str(), &info) == 0 && S_ISSOCK(info.st_mode)) {
      facts.WaylandSocket = name;
      break;
    }
  }
  return facts;
}

std::string UserDocumentsFolder(const vellumar::UserAccount& user) {
  struct stat info {};
  const std::string documents = user.Home + "/Documents";
  return ::lstat(documents.c_str(), &info) == 0 && S_ISDIR(info.st_mode) ? documents : user.Home;
}

}  // namespace vellumar::platform

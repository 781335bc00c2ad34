#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "cli/cli_agreement.h"
#include "devices/user/agreement.h"
#include "platform/linux/host/user_account.h"
#include "platform/linux/host/user_files.h"
#include "platform/linux/host/user_programs.h"
#include "support/root_env.h"
#include "support/shell.h"

namespace vellumar {
namespace {

using testing::Quote;
using testing::Shell;

// A throw-away account with a home folder of its own; both are removed afterwards.
struct ThrowAwayUser {
  ThrowAwayUser() {
    Name = "vlmtest" + std::to_string(::getpid() % 100000);
    Home = "/tmp/" + Name + "-home";
    Shell("userdel " + Name + " 2>/dev/null; rm -rf " + Quote(Home));
    Created = Shell("useradd -M -U -d " + Quote(Home) + " -s /usr/sbin/nologin " + Name).ExitCode == 0;
    if (Created) {
      Account = platform::LookUpAccount(static_cast<std::uint32_t>(std::stoul(Shell("id -u " + Name).Output)));
      Shell("mkdir -m 0700 " + Quote(Home) + " && chown " + Name + ":" + Name + " " + Quote(Home));
    }
  }
  ~ThrowAwayUser() { Shell("userdel " + Name + " 2>/dev/null; rm -rf " + Quote(Home)); }

  std::string Name;
  std::string Home;
  bool Created = false;
  std::optional<UserAccount> Account;
};

std::uint32_t OwnerOf(const std::string& path) {
  struct stat info {};
  return ::lstat(path.c_str(), &info) == 0 ? info.st_uid : 0xffffffffU;
}

// Sets an environment variable for one scope.
struct ScopedVariable {
  ScopedVariable(const char* name, const char* value) : Name(name) {
    if (const char* old = std::getenv(name)) {
      Saved = old;
    }
    value != nullptr ? ::setenv(name, value, 1) : ::unsetenv(name);
  }
  ~ScopedVariable() { Saved ? ::setenv(Name, Saved->c_str(), 1) : ::unsetenv(Name); }
  const char* Name;
  std::optional<std::string> Saved;
};

TEST(UserIdentityRoot, TheMarkerAndStartedProgramsBelongToTheInvokingUser) {
  VELLUMAR_REQUIRE_ROOT();
  ThrowAwayUser user;
  ASSERT_TRUE(user.Created && user.Account.has_value()) << "useradd failed";
  const std::string uid = std::to_string(user.Account->Uid);

  // vellumar-cli under sudo: the marker lands in the user's folder, made by the user.
  {
    ScopedVariable sudo("SUDO_UID", uid.c_str());
    ScopedVariable pkexec("PKEXEC_UID", nullptr);
    ScopedVariable xdg("XDG_DATA_HOME", nullptr);
    std::istringstream in;
    std::ostringstream out;
    std::ostringstream err;
    cli::CliEnvironment env{in, out, err};
    std::vector<std::string> args{"--agree"};
    ASSERT_TRUE(cli::EnsureAgreement(args, env));
  }
  const std::string marker = user.Home + "/.local/share/blanker.4.50.agreement";
  for (const std::string& path : {user.Home + "/.local", user.Home + "/.local/share", marker}) {
    EXPECT_EQ(OwnerOf(path), user.Account->Uid) << path;
  }
  platform::UserFiles files(user.Account);
  EXPECT_TRUE(AgreementRecorded(marker, files));

  // A link the user planted at the marker, aimed at a file only root may write, is not followed.
  const std::string rootFile = "/tmp/" + user.Name + "-root-file";
  Shell("printf 0 > " + Quote(rootFile) + " && chmod 0644 " + Quote(rootFile));
  std::filesystem::remove(marker);
  std::filesystem::create_symlink(rootFile, marker);
  EXPECT_FALSE(AgreementRecorded(marker, files));
  RecordAgreement(marker, files);
  EXPECT_EQ(Shell("cat " + Quote(rootFile)).Output, "0");
  std::filesystem::remove(rootFile);

  // A program started from the windows runs with the user's uid, groups and home.
  platform::UserProgramLauncher launcher(user.Account, platform::ProcessEnvironment(), RuntimeFolderFacts{},
                                         platform::IsExecutableFile);
  std::string error;
  ASSERT_TRUE(launcher.Launch("sh", {"-c", "id -u > who.tmp && mv who.tmp who"}, error)) << error;
  const std::string who = user.Home + "/who";
  for (int i = 0; i < 50 && !std::filesystem::exists(who); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  EXPECT_EQ(Shell("cat " + Quote(who)).Output, uid + "\n");
  EXPECT_EQ(OwnerOf(who), user.Account->Uid);
}

}  // namespace
}  // namespace vellumar

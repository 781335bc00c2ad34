#include "devices/user/user_session.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <set>

#include "platform/linux/host/user_files.h"
#include "platform/linux/host/user_programs.h"

namespace vellumar {
namespace {

EnvironmentReader FakeEnvironment(std::map<std::string, std::string> values) {
  return [values = std::move(values)](const std::string& name) {
    const auto found = values.find(name);
    return found == values.end() ? std::string() : found->second;
  };
}

TEST(UserSession, InvokingUidComesFromPkexecThenSudoAndOnlyForRealRoot) {
  struct Case {
    std::uint32_t RealUid;
    std::string Pkexec, Sudo;
    std::optional<std::uint32_t> Expected;
  };
  const Case cases[] = {
      {0, "1000", "", 1000},     {0, "", "1001", 1001}, {0, "1000", "1001", 1000},  {1000, "1000", "", {}},
      {0, "", "", {}},           {0, "0", "", {}},      {0, "1000x", "1001", {}},   {0, "-5", "", {}},
      {0, "4294967295", "", {}}, {0, " 1000", "", {}},  {0, "99999999999", "", {}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(InvokingUid(c.RealUid, c.Pkexec, c.Sudo), c.Expected)
        << c.RealUid << " '" << c.Pkexec << "' '" << c.Sudo << "'";
  }
}

TEST(UserSession, DataFolderPrefersAbsoluteXdgDataHomeThenHome) {
  EXPECT_EQ(DataFolderFor("/tmp/xdg//", "/home/u"), "/tmp/xdg");
  EXPECT_EQ(DataFolderFor("relative", "/home/u/"), "/home/u/.local/share");
  EXPECT_EQ(DataFolderFor("", "/"), "/.local/share");
  EXPECT_EQ(DataFolderFor("", "relative"), "");
}

TEST(UserSession, ChildEnvironmentIsTheUsersSessionAndNothingOfRoots) {
  UserAccount user{1000, 1000, {1000, 27}, "ann", "/home/ann", "/bin/bash"};
  RuntimeFolderFacts runtime{"/run/user/1000", true, "wayland-0"};
  const auto asSet = [](const std::vector<std::string>& list) {
    return std::set<std::string>(list.begin(), list.end());
  };

  // pkexec kept only the display: the rest comes from the user's runtime folder.
  EXPECT_EQ(asSet(ChildEnvironment(user,
                                   FakeEnvironment({{"DISPLAY", ":0"},
                                                    {"XAUTHORITY", "/home/ann/.Xauthority"},
                                                    {"LD_PRELOAD", "/tmp/evil.so"},
                                                    {"PATH", "/home/ann/bin:/usr/bin"},
                                                    {"HOME", "/root"}}),
                                   runtime)),
            (std::set<std::string>{
                "HOME=/home/ann", "USER=ann", "LOGNAME=ann", "SHELL=/bin/bash", "PATH=/usr/local/bin:/usr/bin:/bin",
                "DISPLAY=:0", "XAUTHORITY=/home/ann/.Xauthority", "XDG_RUNTIME_DIR=/run/user/1000",
                "WAYLAND_DISPLAY=wayland-0", "DBUS_SESSION_BUS_ADDRESS=unix:path=/run/user/1000/bus"}));

  // Values the environment has win, except root's own runtime folder and bus; control
  // characters drop a value.
  const std::set<std::string> kept =
      asSet(ChildEnvironment(user,
                             FakeEnvironment({{"WAYLAND_DISPLAY", "wayland-1"},
                                              {"XDG_RUNTIME_DIR", "/run/user/0"},
                                              {"DBUS_SESSION_BUS_ADDRESS", "unix:path=/run/user/0/bus"},
                                              {"DISPLAY", ":0\n"}}),
                             runtime));
  EXPECT_TRUE(kept.count("WAYLAND_DISPLAY=wayland-1"));
  EXPECT_TRUE(kept.count("XDG_RUNTIME_DIR=/run/user/1000"));
  EXPECT_TRUE(kept.count("DBUS_SESSION_BUS_ADDRESS=unix:path=/run/user/1000/bus"));
  EXPECT_EQ(kept.count("DISPLAY=:0\n"), 0U);
}

TEST(UserProgramLauncher, PlansAbsolutePathsWithTheUsersIdentityAndReportsFailures) {
  const UserAccount user{1000, 1000, {1000}, "ann", "/home/ann", "/bin/sh"};
  std::vector<platform::ChildPlan> executed;
  bool executorSucceeds = true;
  platform::UserProgramLauncher launcher(
      user, FakeEnvironment({{"PATH", "/home/ann/bin"}, {"DISPLAY", ":1"}}), RuntimeFolderFacts{},
      [](const std::string& path) { return path == "/usr/bin/gparted" || path == "/bin/xdg-open"; },
      [&](const platform::ChildPlan& plan, std::string& error) {
        executed.push_back(plan);
        error = "ended at once";
        return executorSucceeds;
      });
  std::string error;
  EXPECT_TRUE(launcher.Available("gparted"));
  EXPECT_FALSE(launcher.Available("gnome-disks"));
  EXPECT_FALSE(launcher.Available("../bin/gparted"));
  EXPECT_TRUE(launcher.Launch("xdg-open", {"https://example.org"}, error));
  ASSERT_EQ(executed.size(), 1U);
  EXPECT_EQ(executed[0].Program, "/bin/xdg-open");
  EXPECT_EQ(executed[0].Arguments, std::vector<std::string>{"https://example.org"});
  EXPECT_EQ(executed[0].User.Uid, 1000U);
  EXPECT_EQ(executed[0].SwitchIdentity, ::geteuid() != 1000);
  EXPECT_NE(std::find(executed[0].Environment.begin(), executed[0].Environment.end(), "DISPLAY=:1"),
            executed[0].Environment.end());

  EXPECT_FALSE(launcher.Launch("gnome-disks", {}, error));
  EXPECT_EQ(error, "gnome-disks is not installed");
  executorSucceeds = false;
  EXPECT_FALSE(launcher.Launch("gparted", {}, error));
  EXPECT_EQ(error, "ended at once");
  EXPECT_EQ(executed.size(), 2U);
}

TEST(UserProgramLauncher, ExecuteChildTellsStartedFromFailedAtOnce) {
  platform::ChildPlan plan;
  plan.User = UserAccount{
      static_cast<std::uint32_t>(::geteuid()), static_cast<std::uint32_t>(::getegid()), {}, "me", "/", "/bin/sh"};
  struct Case {
    std::string Program;
    std::vector<std::string> Arguments;
    bool Started;
  };
  const Case cases[] = {{"/bin/sh", {"-c", "sleep 2"}, true},
                        {"/bin/true", {}, true},
                        {"/bin/false", {}, false},
                        {"/nonexistent/program", {}, false}};
  for (const Case& c : cases) {
    plan.Program = c.Program;
    plan.Arguments = c.Arguments;
    std::string error;
    EXPECT_EQ(platform::ExecuteChild(plan, error), c.Started) << c.Program << ": " << error;
  }
}

class UserFilesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = std::filesystem::temp_directory_path() / ("vellumar-user-files-" + std::to_string(::getpid()) + "-" +
                                                     ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::create_directories(dir_);
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }
  std::string Path(const std::string& name) const { return (dir_ / name).string(); }
  static void Put(const std::string& path, const std::string& bytes) { std::ofstream(path, std::ios::binary) << bytes; }
  static std::string Get(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
  }

  std::filesystem::path dir_;
  platform::UserFiles files_;
};

TEST_F(UserFilesTest, WritesExactBytesCreatingFoldersAndReadsAtMostWhatIsAsked) {
  const std::string marker = Path("new/share/marker");
  ASSERT_TRUE(files_.WriteSmallFile(marker, "1"));
  EXPECT_EQ(files_.ReadSmallFile(marker, 2), "1");
  ASSERT_TRUE(files_.WriteSmallFile(marker, std::string(5000, 'x')));
  EXPECT_EQ(files_.ReadSmallFile(marker, 2), "xx");  // a huge marker is never read whole
  ASSERT_TRUE(files_.WriteSmallFile(marker, "1"));   // replaced, not appended
  EXPECT_EQ(Get(marker), "1");
  EXPECT_EQ(files_.ReadSmallFile(Path("absent"), 2), std::nullopt);
}

// A link, a folder or a FIFO at the file's name is never read or written through, and opening
// a FIFO never blocks.
TEST_F(UserFilesTest, LinksFoldersAndFifosAreRefused) {
  Put(Path("target"), "1");
  std::filesystem::create_symlink(Path("target"), Path("link"));
  std::filesystem::create_symlink("/dev/zero", Path("zero"));
  std::filesystem::create_directory(Path("folder"));
  ASSERT_EQ(::mkfifo(Path("fifo").c_str(), 0600), 0);
  for (const char* name : {"link", "zero", "folder", "fifo"}) {
    EXPECT_EQ(files_.ReadSmallFile(Path(name), 2), std::nullopt) << name;
    std::string error;
    EXPECT_FALSE(files_.WriteFile(Path(name), "0", 0644, error)) << name;
    EXPECT_FALSE(error.empty()) << name;
  }
  EXPECT_EQ(Get(Path("target")), "1");
  EXPECT_TRUE(std::filesystem::is_symlink(Path("link")));
}

}  // namespace
}  // namespace vellumar

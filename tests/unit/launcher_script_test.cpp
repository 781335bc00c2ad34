#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "support/shell.h"

namespace vellumar {
namespace {

using testing::Quote;
using testing::Shell;

// The desktop launcher with fake pkexec and xhost that record how they were called.
class LauncherScript : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = std::filesystem::temp_directory_path() / ("vellumar-launcher-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir_);
    std::ifstream source(std::string(VELLUMAR_TEST_DATA) + "/../../src/main/resources/vellumar-pkexec.in");
    std::stringstream text;
    text << source.rdbuf();
    std::string script = text.str();
    ASSERT_FALSE(script.empty());
    Replace(script, "/usr/bin/pkexec", Path("pkexec"));
    Replace(script, "/usr/bin/xhost", Path("xhost"));
    Replace(script, "@CMAKE_INSTALL_FULL_BINDIR@", "/opt/bin");
    Write("launcher", script);
    Write("pkexec", "#!/bin/sh\nfor a in \"$@\"; do printf '%s ' \"$a\" >> " + Path("calls") + "; done\necho >> " +
                        Path("calls") + "\nexit ${PKEXEC_STATUS:-0}\n");
    Write("xhost", "#!/bin/sh\necho \"xhost $*\" >> " + Path("calls") + "\n[ $# -eq 0 ] && echo " +
                       "\"${XHOST_LIST:-access control enabled}\"\nexit 0\n");
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }

  static void Replace(std::string& text, const std::string& from, const std::string& to) {
    text.replace(text.find(from), from.size(), to);
  }
  std::string Path(const std::string& name) const { return (dir_ / name).string(); }
  void Write(const std::string& name, const std::string& content) {
    std::ofstream(Path(name)) << content;
    std::filesystem::permissions(Path(name), std::filesystem::perms::owner_all);
  }
  // Runs the launcher; the calls the fakes saw, one per line, then the exit code.
  std::string Run(const std::string& environment, const std::string& arguments) {
    std::filesystem::remove(Path("calls"));
    const testing::ShellResult result =
        Shell("env -i " + environment + " /bin/sh " + Quote(Path("launcher")) + " " + arguments + " 2>&1");
    std::ifstream calls(Path("calls"));
    std::stringstream text;
    text << calls.rdbuf() << "exit " << result.ExitCode;
    return result.Output + text.str();
  }

  std::filesystem::path dir_;
};

TEST_F(LauncherScript, PassesOnlyTheDebugSwitchAndLetsRootOntoTheDisplayForTheRun) {
  struct Case {
    std::string Environment, Arguments, Expected;
  };
  const Case cases[] = {
      {"", "--DEBUG -style evil -platformpluginpath /tmp", "/opt/bin/vellumar --debug \nexit 0"},
      {"", "-platformpluginpath /tmp --debug", "/opt/bin/vellumar \nexit 0"},
      {"", "'--debug;id' --debug", "/opt/bin/vellumar \nexit 0"},
      {"DISPLAY=:5 PKEXEC_STATUS=3", "--debug",
       "xhost \nxhost +si:localuser:root\n/opt/bin/vellumar --debug \nxhost -si:localuser:root\nexit 3"},
      // A grant the user made before is left in place.
      {"DISPLAY=:5 XHOST_LIST=SI:localuser:root", "", "xhost \n/opt/bin/vellumar \nexit 0"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Run(c.Environment, c.Arguments), c.Expected) << c.Environment << " " << c.Arguments;
  }
  std::filesystem::remove(Path("xhost"));
  const std::string missing = Run("DISPLAY=:5", "");
  EXPECT_NE(missing.find("install the package x11-xserver-utils"), std::string::npos) << missing;
  EXPECT_NE(missing.find("/opt/bin/vellumar \nexit 0"), std::string::npos) << missing;
}

}  // namespace
}  // namespace vellumar

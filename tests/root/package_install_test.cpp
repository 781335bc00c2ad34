#include <gtest/gtest.h>

#include <string>

#include "support/root_env.h"
#include "support/shell.h"

namespace vellumar {
namespace {

using testing::Shell;
using testing::ShellResult;

bool Installed(const std::string& package) {
  return Shell("dpkg-query -W -f='${Status}' " + package + " 2>/dev/null | grep -q 'install ok installed'").ExitCode ==
         0;
}

// Purges both packages on every way out, so the system is left as it was.
struct PurgeOnExit {
  ~PurgeOnExit() { Shell("dpkg --purge vellumar vellumar-cli"); }
};

// Builds the packages (scripts/package reuses its build folder), installs them with dpkg, checks
// what they hold and that the installed command runs, and purges them again.
TEST(DebianPackage, InstallsRunsAndPurgesCleanly) {
  VELLUMAR_REQUIRE_ROOT();
  if (Installed("vellumar-cli") || Installed("vellumar")) {
    GTEST_SKIP() << "vellumar is installed on this system already; the test leaves it alone";
  }
  const std::string top = VELLUMAR_SOURCE_DIR;
  // Unoptimised and without debug information: this checks what the packages hold and that they
  // install, run and purge, and the compile is most of its time.
  const ShellResult built = Shell("DEB_BUILD_OPTIONS=noopt DEB_CXXFLAGS_STRIP=-g " + top + "/scripts/package");
  ASSERT_EQ(built.ExitCode, 0) << built.Output;

  PurgeOnExit purge;
  const ShellResult install =
      Shell("dpkg -i " + top + "/build/package/vellumar-cli_*.deb " + top + "/build/package/vellumar_*.deb");
  ASSERT_EQ(install.ExitCode, 0) << install.Output;

  const struct {
    std::string Package;
    std::string Path;
  } contents[] = {
      {"vellumar-cli", "/usr/bin/vellumar-cli"},
      {"vellumar-cli", "/usr/share/man/man1/vellumar-cli.1.gz"},
      {"vellumar-cli", "/usr/share/bash-completion/completions/vellumar-cli"},
      {"vellumar", "/usr/bin/vellumar"},
      {"vellumar", "/usr/bin/vellumar-pkexec"},
      {"vellumar", "/usr/share/man/man1/vellumar.1.gz"},
      {"vellumar", "/usr/share/applications/vellumar.desktop"},
      {"vellumar", "/usr/share/icons/hicolor/scalable/apps/vellumar.svg"},
      {"vellumar", "/usr/share/polkit-1/actions/io.example.vellumar.policy"},
  };
  for (const auto& entry : contents) {
    const ShellResult listed = Shell("dpkg -L " + entry.Package + " | grep -qx " + entry.Path);
    EXPECT_EQ(listed.ExitCode, 0) << entry.Package << " lacks " << entry.Path;
  }
  // The command line must not pull in Qt: a server installs only that package.
  EXPECT_NE(Shell("dpkg-query -W -f='${Depends}' vellumar-cli | grep -qi qt").ExitCode, 0);

  const ShellResult version = Shell("/usr/bin/vellumar-cli --version");
  EXPECT_EQ(version.ExitCode, 0);
  EXPECT_EQ(version.Output.rfind("vellumar-cli 4.50", 0), 0u) << version.Output;
  EXPECT_EQ(Shell("/usr/bin/vellumar-cli list </dev/null").ExitCode, 0);

  const ShellResult purged = Shell("dpkg --purge vellumar vellumar-cli");
  EXPECT_EQ(purged.ExitCode, 0) << purged.Output;
  for (const auto& entry : contents) {
    EXPECT_NE(Shell("test -e " + entry.Path).ExitCode, 0) << entry.Path << " is left after the purge";
  }
  EXPECT_FALSE(Installed("vellumar-cli"));
}

}  // namespace
}  // namespace vellumar

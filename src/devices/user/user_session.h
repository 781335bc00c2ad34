#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace vellumar {

// Who the person at the desk is when the program runs as root for them, and what a program
// started on their behalf gets. Pure: the platform looks up accounts and the environment.

// The uid of the user root runs for: PKEXEC_UID first, then SUDO_UID, each a plain decimal
// number other than 0. Nothing when the real user is not root (the program already runs as the
// person) or neither names a user.
std::optional<std::uint32_t> InvokingUid(std::uint32_t realUid, const std::string& pkexecUid,
                                         const std::string& sudoUid);

// The per-user data folder without a trailing slash: `xdgDataHome` when it is absolute, else
// `home` + "/.local/share"; empty when neither is usable.
std::string DataFolderFor(const std::string& xdgDataHome, const std::string& home);

// A user account as the password database and the group list describe it.
struct UserAccount {
  std::uint32_t Uid = 0;
  std::uint32_t Gid = 0;
  std::vector<std::uint32_t> Groups;  // supplementary groups, the primary one included
  std::string Name;
  std::string Home;
  std::string Shell;
};

// Reads one environment variable; empty when unset.
using EnvironmentReader = std::function<std::string(const std::string& name)>;

// Tells whether an absolute path is an executable regular file; the platform answers.
using ExecutableProbe = std::function<bool(const std::string& path)>;

// The session variables a desktop program needs to reach the user's display, bus and runtime
// folder. Values with control characters are dropped: they never name a real session.
inline constexpr const char* kSessionVariables[] = {"DISPLAY", "WAYLAND_DISPLAY", "XAUTHORITY", "XDG_RUNTIME_DIR",
                                                    "DBUS_SESSION_BUS_ADDRESS"};

// Facts about the user's runtime folder the platform found, used when the environment lost
// them (pkexec clears everything but the display).
struct RuntimeFolderFacts {
  std::string Folder;         // "/run/user/UID" when it exists and belongs to the user
  bool HasBusSocket = false;  // Folder + "/bus"
  std::string WaylandSocket;  // a "wayland-N" socket in Folder, when there is one
};

// The complete environment of a program started for `user`: HOME, USER, LOGNAME, SHELL, a fixed
// PATH, LANG/LC_ALL when set, and the session variables, from `environment` or else derived
// from `runtime`. Nothing else of root's environment passes.
std::vector<std::string> ChildEnvironment(const UserAccount& user, const EnvironmentReader& environment,
                                          const RuntimeFolderFacts& runtime);

// The folders searched for programs started from the windows, root's and the user's $PATH
// never being consulted.
inline constexpr const char* kProgramFolders[] = {"/usr/bin", "/bin", "/usr/sbin", "/sbin"};

// The absolute path of `name` in kProgramFolders; empty when none holds it.
std::string FindProgram(const std::string& name, const ExecutableProbe& isExecutable);

}  // namespace vellumar

namespace vellumar {

// Starts desktop programs (the disk tool, the browser) for the person at the desk. The platform
// runs them with that user's identity and session, found by absolute path.
class ProgramLauncher {
 public:
  virtual ~ProgramLauncher() = default;
  // True when `name` is installed in one of kProgramFolders.
  virtual bool Available(const std::string& name) = 0;
  // Starts `name` with `arguments` and leaves it running. False, with the reason in `error`,
  // when it cannot be found, cannot be started, or ends at once with a failure.
  virtual bool Launch(const std::string& name, const std::vector<std::string>& arguments, std::string& error) = 0;
};

}  // namespace vellumar

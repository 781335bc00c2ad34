#include "devices/user/user_session.h"

#include <algorithm>
#include <limits>

namespace vellumar {

namespace {

std::optional<std::uint32_t> ParseUid(const std::string& text) {
  if (text.empty() || text.size() > 10 ||
      !std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; })) {
    return std::nullopt;
  }
  const unsigned long long value = std::stoull(text);
  // (uid_t)-1 means "no user" to the kernel; 0 is root itself.
  if (value == 0 || value >= std::numeric_limits<std::uint32_t>::max()) {
    return std::nullopt;
  }
  return static_cast<std::uint32_t>(value);
}

std::string WithoutTrailingSlashes(std::string path) {
  while (path.size() > 1 && path.back() == '/') {
    path.pop_back();
  }
  return path;
}

bool Printable(const std::string& value) {
  return std::none_of(value.begin(), value.end(), [](char c) {
    const auto byte = static_cast<unsigned char>(c);
    return byte < 0x20 || byte == 0x7f;
  });
}

}  // namespace

std::optional<std::uint32_t> InvokingUid(std::uint32_t realUid, const std::string& pkexecUid,
                                         const std::string& sudoUid) {
  if (realUid != 0) {
    return std::nullopt;
  }
  if (!pkexecUid.empty()) {
    // pkexec sets this itself; a stale SUDO_UID from an outer sudo must not win over it.
    return ParseUid(pkexecUid);
  }
  return ParseUid(sudoUid);
}

std::string DataFolderFor(const std::string& xdgDataHome, const std::string& home) {
  if (!xdgDataHome.empty() && xdgDataHome.front() == '/') {
    return WithoutTrailingSlashes(xdgDataHome);
  }
  if (!home.empty() && home.front() == '/') {
    const std::string base = WithoutTrailingSlashes(home);
    return (base == "/" ? std::string() : base) + "/.local/share";
  }
  return {};
}

std::vector<std::string> ChildEnvironment(const UserAccount& user, const EnvironmentReader& environment,
                                          const RuntimeFolderFacts& runtime) {
  std::vector<std::string> result = {"HOME=" + user.Home, "USER=" + user.Name, "LOGNAME=" + user.Name,
                                     "SHELL=" + (user.Shell.empty() ? std::string("/bin/sh") : user.Shell),
                                     "PATH=/usr/local/bin:/usr/bin:/bin"};
  auto add = [&result](const std::string& name, const std::string& value) {
    if (!value.empty() && Printable(value)) {
      result.push_back(name + "=" + value);
    }
  };
  for (const char* name : {"LANG", "LC_ALL"}) {
    add(name, environment(name));
  }
  add("DISPLAY", environment("DISPLAY"));
  add("XAUTHORITY", environment("XAUTHORITY"));
  std::string runtimeFolder = environment("XDG_RUNTIME_DIR");
  // root's own runtime folder (sudo may leave it set) is no use to the user's programs.
  if (runtimeFolder.empty() || runtimeFolder == "/run/user/0") {
    runtimeFolder = runtime.Folder;
  }
  add("XDG_RUNTIME_DIR", runtimeFolder);
  std::string wayland = environment("WAYLAND_DISPLAY");
  if (wayland.empty()) {
    wayland = runtime.WaylandSocket;
  }
  add("WAYLAND_DISPLAY", wayland);
  std::string bus = environment("DBUS_SESSION_BUS_ADDRESS");
  if ((bus.empty() || bus.find("/run/user/0/") != std::string::npos) && runtime.HasBusSocket) {
    bus = "unix:path=" + runtime.Folder + "/bus";
  }
  add("DBUS_SESSION_BUS_ADDRESS", bus);
  return result;
}

std::string FindProgram(const std::string& name, const ExecutableProbe& isExecutable) {
  if (name.empty() || name.find('/') != std::string::npos) {
    return {};
  }
  for (const char* folder : kProgramFolders) {
    std::string path = std::string(folder) + "/" + name;
    if (isExecutable(path)) {
      return path;
    }
  }
  return {};
}

}  // namespace vellumar

#include "platform/linux/host/user_programs.h"

#include <fcntl.h>
#include <grp.h>
#include <poll.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/linux/host/user_account.h"
#include "platform/linux/io/unique_fd.h"

namespace vellumar::platform {

namespace {

// How long a started program is watched for an immediate failure.
constexpr int kStartGraceMs = 700;

// Report codes the watcher sends back through the pipe.
constexpr char kStarted = 'S';
constexpr char kExecFailed = 'E';
constexpr char kIdentityFailed = 'I';
constexpr char kExitedWithFailure = 'X';

std::vector<char*> Pointers(std::vector<std::string>& texts) {
  std::vector<char*> pointers;
  pointers.reserve(texts.size() + 1);
  for (std::string& text : texts) {
    pointers.push_back(text.data());
  }
  pointers.push_back(nullptr);
  return pointers;
}

void WriteCode(const UniqueFd& fd, char code) {
  while (::write(fd.Get(), &code, 1) < 0 && errno == EINTR) {
  }
}

// Both ends of a new pipe, closed on exec; false with errno set when there is none.
bool OpenPipe(UniqueFd& readEnd, UniqueFd& writeEnd) {
  int ends[2];
  if (::pipe2(ends, O_CLOEXEC) != 0) {
    return false;
  }
  readEnd.Reset(ends[0]);
  writeEnd.Reset(ends[1]);
  return true;
}

}  // namespace

bool IsExecutableFile(const std::string& path) {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) && (info.st_mode & 0111) != 0;
}

bool ExecuteChild(const ChildPlan& plan, std::string& error) {
  // Everything the child needs is prepared here: after fork only system calls are made.
  std::vector<std::string> argumentTexts{plan.Program};
  argumentTexts.insert(argumentTexts.end(), plan.Arguments.begin(), plan.Arguments.end());
  std::vector<std::string> environmentTexts = plan.Environment;
  std::vector<char*> argv = Pointers(argumentTexts);
  std::vector<char*> envp = Pointers(environmentTexts);
  std::vector<gid_t> groups(plan.User.Groups.begin(), plan.User.Groups.end());
  const uid_t uid = plan.User.Uid;
  const gid_t gid = plan.User.Gid;
  const bool switchIdentity = plan.SwitchIdentity;
  const char* home = plan.User.Home.c_str();

  UniqueFd reportRead;
  UniqueFd reportWrite;
  if (!OpenPipe(reportRead, reportWrite)) {
    error = std::string("cannot start: ") + std::strerror(errno);
    return false;
  }
  const pid_t watcher = ::fork();
  if (watcher < 0) {
    error = std::string("cannot start: ") + std::strerror(errno);
    return false;
  }
  if (watcher == 0) {
    // The watcher: starts the program, reports how it went, and leaves it to init.
    reportRead.Reset();
    ::setsid();
    UniqueFd execRead;
    UniqueFd execWrite;
    if (!OpenPipe(execRead, execWrite)) {
      WriteCode(reportWrite, kExecFailed);
      ::_exit(1);
    }
    const pid_t child = ::fork();
    if (child == 0) {
      execRead.Reset();
      if (switchIdentity && (::setgroups(groups.size(), groups.data()) != 0 || ::setgid(gid) != 0 ||
                             ::setuid(uid) != 0 || ::setuid(0) == 0)) {
        WriteCode(execWrite, kIdentityFailed);
        ::_exit(127);
      }
      if (::chdir(home) != 0 && ::chdir("/") != 0) {
        ::_exit(127);
      }
      const int null = ::open("/dev/null", O_RDWR);
      if (null >= 0) {
        ::dup2(null, 0);
        ::dup2(null, 1);
        ::dup2(null, 2);
      }
      ::execve(argv[0], argv.data(), envp.data());
      WriteCode(execWrite, kExecFailed);
      ::_exit(127);
    }
    execWrite.Reset();
    char code = kStarted;
    if (child < 0 || ::read(execRead.Get(), &code, 1) > 0) {
      WriteCode(reportWrite, child < 0 ? kExecFailed : code);
      ::_exit(1);
    }
    // Executed: watch it for a moment for an immediate failure.
    for (int waited = 0; waited < kStartGraceMs; waited += 50) {
      int status = 0;
      if (::waitpid(child, &status, WNOHANG) == child) {
        const bool failed = !WIFEXITED(status) || WEXITSTATUS(status) != 0;
        WriteCode(reportWrite, failed ? kExitedWithFailure : kStarted);
        ::_exit(0);
      }
      ::usleep(50'000);
    }
    WriteCode(reportWrite, kStarted);
    ::_exit(0);
  }
  reportWrite.Reset();
  char code = kExecFailed;
  while (::read(reportRead.Get(), &code, 1) < 0 && errno == EINTR) {
  }
  reportRead.Reset();
  int status = 0;
  while (::waitpid(watcher, &status, 0) < 0 && errno == EINTR) {
  }
  switch (code) {
    case kStarted:
      return true;
    case kIdentityFailed:
      error = plan.Program + " could not be started as " + plan.User.Name;
      return false;
    case kExitedWithFailure:
      error = plan.Program + " ended at once with a failure";
      return false;
    default:
      error = plan.Program + " could not be executed";
      return false;
  }
}

UserProgramLauncher::UserProgramLauncher(std::optional<vellumar::UserAccount> user,
                                         vellumar::EnvironmentReader environment, vellumar::RuntimeFolderFacts runtime,
                                         vellumar::ExecutableProbe probe, ChildExecutor executor)
    : user_(std::move(user)),
      environment_(std::move(environment)),
      runtime_(std::move(runtime)),
      probe_(std::move(probe)),
      executor_(std::move(executor)) {}

UserProgramLauncher UserProgramLauncher::ForThisProcess() {
  vellumar::EnvironmentReader environment = ProcessEnvironment();
  std::optional<vellumar::UserAccount> user = DeskUser(environment);
  vellumar::RuntimeFolderFacts runtime;
  if (user) {
    runtime = ReadRuntimeFolder(*user);
  }
  return UserProgramLauncher(std::move(user), std::move(environment), std::move(runtime), IsExecutableFile);
}

bool UserProgramLauncher::Available(const std::string& name) { return !vellumar::FindProgram(name, probe_).empty(); }

std::optional<ChildPlan> UserProgramLauncher::Plan(const std::string& name, const std::vector<std::string>& arguments,
                                                   std::string& error) const {
  if (!user_) {
    error = "the user of this session is unknown";
    return std::nullopt;
  }
  ChildPlan plan;
  plan.Program = vellumar::FindProgram(name, probe_);
  if (plan.Program.empty()) {
    error = name + " is not installed";
    return std::nullopt;
  }
  plan.Arguments = arguments;
  plan.User = *user_;
  plan.SwitchIdentity = ActsForAnotherUser(*user_);
  plan.Environment = vellumar::ChildEnvironment(*user_, environment_, runtime_);
  return plan;
}

bool UserProgramLauncher::Launch(const std::string& name, const std::vector<std::string>& arguments,
                                 std::string& error) {
  const std::optional<ChildPlan> plan = Plan(name, arguments, error);
  return plan.has_value() && executor_(*plan, error);
}

}  // namespace vellumar::platform

#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "devices/user/user_session.h"

namespace vellumar::platform {

// Everything needed to start one program for the user: where it is, with which identity, and
// in which environment.
struct ChildPlan {
  std::string Program;  // absolute
  std::vector<std::string> Arguments;
  vellumar::UserAccount User;
  bool SwitchIdentity = false;  // false when the process already runs as the user
  std::vector<std::string> Environment;
};

// Starts a planned child and says whether it is running; the real one forks and executes,
// tests record the plan.
using ChildExecutor = std::function<bool(const ChildPlan& plan, std::string& error)>;

// Forks, drops to the plan's user (groups, gid, uid) in the child, executes the program with
// only the plan's environment, and waits briefly: a program that cannot be executed, or that
// ends at once with a failure, counts as not started. The child is detached from the program.
bool ExecuteChild(const ChildPlan& plan, std::string& error);

// ProgramLauncher for the desk user: finds programs in fixed folders, builds the user's
// session environment, and hands the plan to the executor.
class UserProgramLauncher final : public vellumar::ProgramLauncher {
 public:
  UserProgramLauncher(std::optional<vellumar::UserAccount> user, vellumar::EnvironmentReader environment,
                      vellumar::RuntimeFolderFacts runtime, vellumar::ExecutableProbe probe,
                      ChildExecutor executor = ExecuteChild);

  // The launcher for this process: the desk user, the process environment, the real file system.
  static UserProgramLauncher ForThisProcess();

  bool Available(const std::string& name) override;
  bool Launch(const std::string& name, const std::vector<std::string>& arguments, std::string& error) override;

  // The plan Launch would execute; nothing when the program or the user is unknown.
  std::optional<ChildPlan> Plan(const std::string& name, const std::vector<std::string>& arguments,
                                std::string& error) const;

 private:
  std::optional<vellumar::UserAccount> user_;
  vellumar::EnvironmentReader environment_;
  vellumar::RuntimeFolderFacts runtime_;
  vellumar::ExecutableProbe probe_;
  ChildExecutor executor_;
};

// True for an executable regular file (links followed: /usr/bin entries are root's).
bool IsExecutableFile(const std::string& path);

}  // namespace vellumar::platform

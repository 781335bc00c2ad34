#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <iostream>
#include <string>
#include <vector>

#include "cli/cli_commands.h"

namespace {

// A lock-free atomic is safe to store from a signal handler.
std::atomic<bool> g_stopRequested{false};
static_assert(std::atomic<bool>::is_always_lock_free);

extern "C" void RequestStop(int /*signal*/) { g_stopRequested.store(true); }

void InstallStopHandlers() {
  struct sigaction action {};
  action.sa_handler = RequestStop;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);
}

}  // namespace

int main(int argc, char** argv) {
  InstallStopHandlers();
  std::vector<std::string> args(argv + 1, argv + argc);
  vellumar::cli::CliEnvironment env{std::cin, std::cout, std::cerr};
  env.InIsTerminal = ::isatty(STDIN_FILENO) == 1;
  env.ErrIsTerminal = ::isatty(STDERR_FILENO) == 1;
  env.StopRequested = &g_stopRequested;
  return vellumar::cli::RunCli(args, env);
}

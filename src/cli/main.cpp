#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <iostream>
#include <string>
#include <vector>

#include "cli/cli_commands.h"

namespace {

// Lock-free atomics are safe to use from a signal handler.
std::atomic<bool> g_stopRequested{false};
std::atomic<bool> g_abortOnSignal{true};
static_assert(std::atomic<bool>::is_always_lock_free);

extern "C" void OnStopSignal(int /*signal*/) {
  if (g_abortOnSignal.load()) {
    // Before the confirmation nothing was unmounted or written: leave at once.
    constexpr char kMessage[] = "\nNot confirmed; nothing was written.\n";
    [[maybe_unused]] const ssize_t ignored = ::write(STDERR_FILENO, kMessage, sizeof kMessage - 1);
    ::_exit(vellumar::cli::kExitRefused);
  }
  g_stopRequested.store(true);
}

// A run or a check stops after the current block on Ctrl+C, SIGTERM or a closed terminal, and
// reports how far it got. The other commands keep the default: they end at once.
void InstallStopHandlers() {
  struct sigaction action {};
  action.sa_handler = OnStopSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);
  sigaction(SIGHUP, &action, nullptr);
}

}  // namespace

int main(int argc, char** argv) {
  // A reader that went away (a closed pipe) must not kill a run before its final lines.
  ::signal(SIGPIPE, SIG_IGN);
  std::vector<std::string> args(argv + 1, argv + argc);
  if (!args.empty() && args.front() == "format") {
    InstallStopHandlers();
  } else if (!args.empty() && args.front() == "verify") {
    // A check only reads: it has nothing to confirm, and stops after the current block.
    g_abortOnSignal.store(false);
    InstallStopHandlers();
  }
  vellumar::cli::CliEnvironment env{std::cin, std::cout, std::cerr};
  env.InIsTerminal = ::isatty(STDIN_FILENO) == 1;
  env.ErrIsTerminal = ::isatty(STDERR_FILENO) == 1;
  env.StopRequested = &g_stopRequested;
  env.AbortOnSignal = &g_abortOnSignal;
  return vellumar::cli::RunCli(args, env);
}

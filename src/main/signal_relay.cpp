#include "main/signal_relay.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>

namespace vellumar::desktop {

namespace {

constexpr int kRelayedSignals[] = {SIGTERM, SIGHUP, SIGINT};

// One relay per process: the handler can only reach plain globals.
int relayPipe[2] = {-1, -1};

void OnSignal(int signalNumber) {
  const int savedErrno = errno;
  const auto byte = static_cast<unsigned char>(signalNumber);
  // A full pipe already holds a request; dropping this one loses nothing.
  [[maybe_unused]] const ssize_t ignored = ::write(relayPipe[1], &byte, 1);
  errno = savedErrno;
}

}  // namespace

SignalRelay::SignalRelay(QObject* parent) : QObject(parent) {
  if (::pipe2(relayPipe, O_CLOEXEC | O_NONBLOCK) != 0) {
    return;
  }
  notifier_ = std::make_unique<QSocketNotifier>(relayPipe[0], QSocketNotifier::Read);
  connect(notifier_.get(), &QSocketNotifier::activated, this, &SignalRelay::Drain);
  struct sigaction action {};
  action.sa_handler = OnSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  for (const int signalNumber : kRelayedSignals) {
    ::sigaction(signalNumber, &action, nullptr);
  }
}

SignalRelay::~SignalRelay() {
  for (const int signalNumber : kRelayedSignals) {
    ::signal(signalNumber, SIG_DFL);
  }
  notifier_.reset();
  if (relayPipe[0] >= 0) {
    ::close(relayPipe[0]);
    ::close(relayPipe[1]);
    relayPipe[0] = relayPipe[1] = -1;
  }
}

void SignalRelay::Drain() {
  unsigned char byte = 0;
  while (::read(relayPipe[0], &byte, 1) == 1) {
    emit Received(byte);
  }
}

}  // namespace vellumar::desktop

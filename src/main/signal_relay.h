#pragma once

#include <QObject>
#include <QSocketNotifier>
#include <memory>

namespace vellumar::desktop {

// Turns SIGTERM, SIGHUP and SIGINT into a Qt signal on the window's thread. The handler only
// writes one byte to a pipe (async-signal-safe); a socket notifier reads it in the event loop.
class SignalRelay : public QObject {
  Q_OBJECT

 public:
  explicit SignalRelay(QObject* parent = nullptr);
  ~SignalRelay() override;

 signals:
  void Received(int signalNumber);

 private:
  void Drain();

  std::unique_ptr<QSocketNotifier> notifier_;
};

}  // namespace vellumar::desktop

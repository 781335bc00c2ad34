#pragma once

#include <QObject>
#include <QString>
#include <functional>
#include <thread>

namespace vellumar::desktop {

// One report at a time on its own thread, so the window keeps painting and moving while a slow
// drive answers. The end comes back as a signal, queued to the window's thread.
class ReportWorker : public QObject {
  Q_OBJECT

 public:
  explicit ReportWorker(QObject* parent = nullptr);
  ~ReportWorker() override;

  void Start(std::function<void()> report);
  bool Running() const { return worker_.joinable(); }
  // Blocks until the report has returned; the drive it reads stays open until then.
  void Join();

 signals:
  // `failure` says why the report broke off; empty when it ran to its end.
  void Finished(const QString& failure);

 private:
  std::thread worker_;
};

}  // namespace vellumar::desktop

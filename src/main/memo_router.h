#pragma once

#include <QObject>
#include <QString>

#include "devices/base/log_sinks.h"

class QPlainTextEdit;

namespace vellumar::desktop {

// Plugs the four logs into the window's memos. Entries may be written on any thread (the run
// writes on its own); they are appended on this object's thread, in the order written.
class MemoRouter : public QObject {
  Q_OBJECT

 public:
  enum class LogMemo { BenchMark, Details, Smart, Debug };

  struct Memos {
    QPlainTextEdit* BenchMark = nullptr;
    QPlainTextEdit* Details = nullptr;
    QPlainTextEdit* Smart = nullptr;
  };

  // Sets the logs' writers at once; `parent` must live on the memos' thread.
  MemoRouter(vellumar::LogSinks& logs, const Memos& memos, QObject* parent = nullptr);
  ~MemoRouter() override;

  // The debug window's memo; without one, debug entries are dropped.
  void SetDebugMemo(QPlainTextEdit* memo) { debugMemo_ = memo; }
  // Takes the writers off the logs: later entries reach no memo.
  void Detach();

 signals:
  // A log entry written on another thread, on its way to this object's thread.
  void EntryQueued(int memo, const QString& entry);

 private slots:
  void AppendEntry(int memo, const QString& entry);

 private:
  vellumar::LogSinks& logs_;
  Memos memos_;
  QPlainTextEdit* debugMemo_ = nullptr;
  bool attached_ = true;
};

}  // namespace vellumar::desktop

#include "main/memo_router.h"

#include <QThread>

#include "windows/memo.h"
#include "windows/window_texts.h"

namespace vellumar::desktop {

MemoRouter::MemoRouter(vellumar::LogSinks& logs, const Memos& memos, QObject* parent)
    : QObject(parent), logs_(logs), memos_(memos) {
  // The queued connection keeps the order: one queue, drained on this object's thread.
  connect(this, &MemoRouter::EntryQueued, this, &MemoRouter::AppendEntry, Qt::QueuedConnection);
  auto writerFor = [this](LogMemo memo) {
    return [this, memo](const std::string& entry) {
      const QString text = vellumar::windows::FromUtf8(entry);
      if (QThread::currentThread() == thread()) {
        AppendEntry(static_cast<int>(memo), text);
      } else {
        emit EntryQueued(static_cast<int>(memo), text);
      }
    };
  };
  logs_.BenchMark.SetWriter(writerFor(LogMemo::BenchMark));
  logs_.Details.SetWriter(writerFor(LogMemo::Details));
  logs_.Smart.SetWriter(writerFor(LogMemo::Smart));
  logs_.Debug.SetWriter(writerFor(LogMemo::Debug));
}

MemoRouter::~MemoRouter() { Detach(); }

void MemoRouter::Detach() {
  if (!attached_) {
    return;
  }
  attached_ = false;
  logs_.BenchMark.SetWriter(nullptr);
  logs_.Debug.SetWriter(nullptr);
  logs_.Details.SetWriter(nullptr);
  logs_.Smart.SetWriter(nullptr);
}

void MemoRouter::AppendEntry(int memo, const QString& entry) {
  switch (static_cast<LogMemo>(memo)) {
    case LogMemo::BenchMark:
      vellumar::windows::AppendMemoEntry(memos_.BenchMark, entry);
      break;
    case LogMemo::Details:
      vellumar::windows::AppendMemoEntry(memos_.Details, entry);
      break;
    case LogMemo::Smart:
      vellumar::windows::AppendMemoEntry(memos_.Smart, entry);
      break;
    case LogMemo::Debug:
      if (debugMemo_ != nullptr) {
        vellumar::windows::AppendMemoEntry(debugMemo_, entry);
      }
      break;
  }
}

}  // namespace vellumar::desktop

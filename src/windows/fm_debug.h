#pragma once

#include <QDialog>
#include <QPlainTextEdit>
#include <string>

namespace vellumar::windows {

// The debug window: one editable memo that collects the start-up identification trail.
class TFmDebug : public QDialog {
  Q_OBJECT

 public:
  explicit TFmDebug(QWidget* parent = nullptr);

  // One timestamped entry of the debug log.
  void AppendEntry(const std::string& entry);

  QPlainTextEdit* Memo1;
};

}  // namespace vellumar::windows

#pragma once

#include <QDialog>

namespace vellumar::windows {

// The scan window: created with the others at start-up and never shown.
class TFmScan : public QDialog {
  Q_OBJECT

 public:
  explicit TFmScan(QWidget* parent = nullptr);
};

}  // namespace vellumar::windows

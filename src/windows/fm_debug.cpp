#include "windows/fm_debug.h"

#include <QVBoxLayout>

#include "windows/memo.h"
#include "windows/window_fonts.h"

namespace vellumar::windows {

TFmDebug::TFmDebug(QWidget* parent) : QDialog(parent), Memo1(new QPlainTextEdit(this)) {
  setObjectName(QStringLiteral("FmDebug"));
  setWindowTitle(QStringLiteral("디버그"));
  // Tahoma 8 pt is 11 pixels at the design resolution.
  setFont(DesignFont(QStringLiteral("Tahoma"), 11));
  resize(635, 337);
  setSizeGripEnabled(true);

  Memo1->setObjectName(QStringLiteral("Memo1"));
  SetUpMemo(Memo1, false);
  Memo1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  Memo1->setPlainText(QStringLiteral("Debug window"));
  Memo1->setAccessibleName(QStringLiteral("디버그 로그"));

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(Memo1);
}

void TFmDebug::AppendEntry(const std::string& entry) { AppendMemoEntry(Memo1, entry); }

}  // namespace vellumar::windows

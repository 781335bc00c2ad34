#include "windows/memo.h"

#include <QPalette>

#include "windows/window_texts.h"

namespace vellumar::windows {

void SetUpMemo(QPlainTextEdit* memo, bool readOnly) {
  memo->setReadOnly(readOnly);
  memo->setLineWrapMode(QPlainTextEdit::NoWrap);
  memo->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  // Reports grow without limit during a session; keep them all.
  memo->setMaximumBlockCount(0);
  QPalette colours = memo->palette();
  colours.setColor(QPalette::Base, Qt::white);
  colours.setColor(QPalette::Text, Qt::black);
  memo->setPalette(colours);
}

void AppendMemoEntry(QPlainTextEdit* memo, const std::string& entry) { AppendMemoEntry(memo, FromUtf8(entry)); }

void AppendMemoEntry(QPlainTextEdit* memo, QString entry) {
  entry.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  memo->appendPlainText(entry);
}

}  // namespace vellumar::windows

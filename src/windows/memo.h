#pragma once

#include <QPlainTextEdit>
#include <string>

namespace vellumar::windows {

// A multi-line text view for logs and reports: no wrapping, optional read-only, white.
void SetUpMemo(QPlainTextEdit* memo, bool readOnly);

// Appends one log entry; CR LF pairs inside it start new lines of the memo.
void AppendMemoEntry(QPlainTextEdit* memo, const std::string& entry);
void AppendMemoEntry(QPlainTextEdit* memo, QString entry);

}  // namespace vellumar::windows

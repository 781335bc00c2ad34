#pragma once

#include <QString>
#include <memory>

#include "devices/erase/format_controller.h"

class QMessageBox;
class QWidget;

namespace vellumar::windows {

// Icon numbers and button flags of the confirmation dialog.
inline constexpr int kIconInformation = 81;
inline constexpr int kIconWarning = 84;
inline constexpr int kIconError = 98;
inline constexpr int kIconConfirmation = 99;

inline constexpr int kButtonOk = 1;
inline constexpr int kButtonYes = 2;
inline constexpr int kButtonNo = 4;
inline constexpr int kButtonCancel = 8;
inline constexpr int kButtonRetry = 16;
inline constexpr int kButtonClose = 32;

// Longest text the dialog takes; a longer one is shown as empty text rather than cut.
inline constexpr qsizetype kTaskDialogTextLimit = 1024;

// The message box behind ShowTaskDialogOrMessage, built but not shown.
std::unique_ptr<QMessageBox> BuildTaskMessageBox(QWidget* owner, const QString& title, const QString& instruction,
                                                 const QString& content, int icon, int buttons);

// The result code of the button that closed `box`: 6 Yes, 2 Cancel, 7 No, 4 Retry, 3 Close,
// 1 for OK and for anything else.
int TaskDialogResult(const QMessageBox& box);

// A modal question: the title as window title, the main instruction as text, the content as
// informative text. 0 when no dialog can be shown (no running application object).
int ShowTaskDialogOrMessage(QWidget* owner, const QString& title, const QString& instruction, const QString& content,
                            int icon, int buttons);
int ShowTaskDialogOrMessage(QWidget* owner, const vellumar::ConfirmationRequest& request);

}  // namespace vellumar::windows

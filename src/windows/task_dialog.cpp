#include "windows/task_dialog.h"

#include <QAbstractButton>
#include <QApplication>
#include <QKeySequence>
#include <QLabel>
#include <QMessageBox>
#include <QRegularExpression>

#include "windows/window_texts.h"

namespace vellumar::windows {

namespace {

QString Fitted(const QString& text) {
  QString result = text.size() > kTaskDialogTextLimit ? QString() : text;
  result.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  return result;
}

QMessageBox::Icon IconOf(int icon) {
  switch (icon) {
    case kIconInformation:
      return QMessageBox::Information;
    case kIconWarning:
      return QMessageBox::Warning;
    case kIconError:
      return QMessageBox::Critical;
    case kIconConfirmation:
      return QMessageBox::Question;
    default:
      return QMessageBox::NoIcon;
  }
}

QMessageBox::StandardButtons ButtonsOf(int flags) {
  QMessageBox::StandardButtons buttons;
  if ((flags & kButtonOk) != 0) buttons |= QMessageBox::Ok;
  if ((flags & kButtonYes) != 0) buttons |= QMessageBox::Yes;
  if ((flags & kButtonNo) != 0) buttons |= QMessageBox::No;
  if ((flags & kButtonCancel) != 0) buttons |= QMessageBox::Cancel;
  if ((flags & kButtonRetry) != 0) buttons |= QMessageBox::Retry;
  if ((flags & kButtonClose) != 0) buttons |= QMessageBox::Close;
  return buttons == QMessageBox::NoButton ? QMessageBox::Ok : buttons;
}

}  // namespace

std::unique_ptr<QMessageBox> BuildTaskMessageBox(QWidget* owner, const QString& title, const QString& instruction,
                                                 const QString& content, int icon, int buttons) {
  auto box = std::make_unique<QMessageBox>(owner);
  box->setWindowTitle(Fitted(title));
  box->setText(Fitted(instruction));
  box->setInformativeText(Fitted(content));
  box->setIcon(IconOf(icon));
  box->setStandardButtons(ButtonsOf(buttons));
  // The texts may carry device strings: never read as markup.
  box->setTextFormat(Qt::PlainText);
  for (QLabel* label : box->findChildren<QLabel*>()) {
    label->setTextFormat(Qt::PlainText);
  }
  // Enter, Esc and the close button must never confirm a destructive question by accident.
  if ((buttons & kButtonCancel) != 0) {
    box->setDefaultButton(QMessageBox::Cancel);
    box->setEscapeButton(QMessageBox::Cancel);
  }
  // No single key confirms: a message box presses a button whose mnemonic key is typed alone,
  // so Yes keeps its (translated) caption without one: "&Yes" and "예(&Y)" both lose theirs.
  if (QAbstractButton* yes = box->button(QMessageBox::Yes)) {
    QString caption = yes->text();
    caption.remove(QRegularExpression(QStringLiteral("\\s*\\(&.\\)")));
    caption.remove(QRegularExpression(QStringLiteral("&(?!&)")));
    yes->setText(caption);
    yes->setShortcut(QKeySequence());
  }
  return box;
}

int TaskDialogResult(const QMessageBox& box) {
  switch (box.standardButton(box.clickedButton())) {
    case QMessageBox::Cancel:
      return 2;
    case QMessageBox::Retry:
      return 4;
    case QMessageBox::Yes:
      return 6;
    case QMessageBox::No:
      return 7;
    case QMessageBox::Close:
      return 3;
    default:
      return 1;
  }
}

int ShowTaskDialogOrMessage(QWidget* owner, const QString& title, const QString& instruction, const QString& content,
                            int icon, int buttons) {
  if (qobject_cast<QApplication*>(QCoreApplication::instance()) == nullptr) {
    return 0;
  }
  const std::unique_ptr<QMessageBox> box = BuildTaskMessageBox(owner, title, instruction, content, icon, buttons);
  box->exec();
  return TaskDialogResult(*box);
}

int ShowTaskDialogOrMessage(QWidget* owner, const vellumar::ConfirmationRequest& request) {
  return ShowTaskDialogOrMessage(owner, FromUtf8(request.Title), FromUtf8(request.MainInstruction),
                                 FromUtf8(request.Content), request.Icon, request.Buttons);
}

}  // namespace vellumar::windows

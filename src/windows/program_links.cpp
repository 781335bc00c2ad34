#include "windows/program_links.h"

#include <QMessageBox>

#include "windows/window_texts.h"

namespace vellumar::windows {

void ShowPlainNote(QWidget* owner, const QString& text, const QString& caption) {
  QMessageBox box(QMessageBox::Information, caption, text, QMessageBox::Ok, owner);
  box.setTextFormat(Qt::PlainText);
  box.setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
  box.exec();
}

void OpenWebAddress(vellumar::ProgramLauncher* launcher, const QString& address, const NoteBox& note) {
  std::string error = "no program starter";
  if (launcher != nullptr && launcher->Launch("xdg-open", {address.toStdString()}, error)) {
    return;
  }
  note(QStringLiteral("The web page could not be opened (") + FromUtf8(error) +
           QStringLiteral("). Copy its address into your browser:\n\n") + address,
       QStringLiteral("Web page"));
}

void OpenDiskTool(vellumar::ProgramLauncher* launcher, const NoteBox& note) {
  for (const QString& tool : kDiskTools) {
    if (launcher == nullptr || !launcher->Available(tool.toStdString())) {
      continue;
    }
    std::string error;
    if (!launcher->Launch(tool.toStdString(), {}, error)) {
      note(QStringLiteral("The disk management tool could not be started: ") + FromUtf8(error) + QStringLiteral("."),
           QStringLiteral("Disk management"));
    }
    return;
  }
  // A non-breaking hyphen keeps "gnome-disks" on one line wherever the box wraps.
  QString tools = kDiskTools.join(QStringLiteral(", "));
  tools.replace(QLatin1Char('-'), QChar(0x2011));
  note(QStringLiteral("No disk management tool was found. Install one of these: ") + tools + QStringLiteral("."),
       QStringLiteral("Disk management"));
}

}  // namespace vellumar::windows

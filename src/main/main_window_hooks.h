#pragma once

#include <QString>
#include <functional>

#include "devices/erase/format_controller.h"

namespace vellumar::desktop {

// The parts of the main window that talk to the user modally or end the program. The window
// sets working defaults; tests and the screenshot tours replace them.
struct MainWindowHooks {
  std::function<int(const vellumar::ConfirmationRequest&)> Confirm;
  std::function<bool()> ShowChooser;
  std::function<void()> ShowDebugModal;
  std::function<void(const QString& text)> FatalErrorBox;
  std::function<void(int exitCode)> Terminate;
  // Notes to the user (a web page that cannot be opened, a refused drive).
  std::function<void(const QString& text, const QString& caption)> InformationBox;
  // An outcome the user must not miss: a failed check, a run that could not go on.
  std::function<void(const QString& text, const QString& caption)> WarningBox;
  // Asks where the report goes, starting from `suggested`; empty when the user cancels. Left
  // empty, the window asks with the file dialog.
  std::function<QString(const QString& suggested)> AskReportPath;
};

}  // namespace vellumar::desktop

#pragma once

class QCoreApplication;

namespace vellumar::windows {

// Loads Qt's own Korean texts (qtbase_ko.qm: the standard buttons, the file dialog) into
// `application`, so they match the windows' captions. False when they are not installed.
bool InstallToolkitTranslations(QCoreApplication& application);

}  // namespace vellumar::windows

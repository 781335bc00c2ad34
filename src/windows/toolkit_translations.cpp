#include "windows/toolkit_translations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

namespace vellumar::windows {

bool InstallToolkitTranslations(QCoreApplication& application) {
  // The captions are Korean whatever the user's locale is; Qt's texts follow them.
  auto* translator = new QTranslator(&application);
  if (!translator->load(QLocale(QLocale::Korean, QLocale::SouthKorea), QStringLiteral("qtbase"), QStringLiteral("_"),
                        QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
    delete translator;
    return false;
  }
  return QCoreApplication::installTranslator(translator);
}

}  // namespace vellumar::windows

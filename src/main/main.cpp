#include <QApplication>
#include <QScreen>
#include <clocale>
#include <memory>
#include <string>
#include <vector>

#include "devices/agreement.h"
#include "devices/drive_record.h"
#include "devices/log_sinks.h"
#include "devices/text_files.h"
#include "main/fm_main.h"
#include "main/linux_main_services.h"
#include "platform/linux/system_clock.h"
#include "platform/linux/user_locale.h"
#include "windows/fm_choose.h"
#include "windows/fm_debug.h"
#include "windows/fm_license_agreement.h"
#include "windows/fm_scan.h"

namespace {

void CentreOnScreen(QWidget& window) {
  if (const QScreen* screen = window.screen()) {
    QRect frame = window.frameGeometry();
    frame.moveCenter(screen->availableGeometry().center());
    window.move(frame.topLeft());
  }
}

}  // namespace

int main(int argc, char** argv) {
  // The user's date and number forms are read before Qt switches the process locale.
  const vellumar::LocaleSettings locale = vellumar::platform::ReadUserLocale();
  QApplication app(argc, argv);
  // Number output in logs and reports is built with our own separators, never the C library's.
  std::setlocale(LC_NUMERIC, "C");

  const std::vector<std::string> parameters(argv + 1, argv + argc);
  vellumar::platform::SystemClock clock;
  vellumar::LogSinks logs(clock, locale);
  vellumar::DeviceCatalogue catalogue;
  const std::unique_ptr<vellumar::desktop::MainServices> services =
      vellumar::desktop::MakeLinuxMainServices(parameters);

  // The windows in the program's order: main, chooser, scan, agreement, debug.
  auto fmMain = std::make_unique<vellumar::desktop::TFmMain>(logs, catalogue, *services);
  auto fmChoose = std::make_unique<vellumar::windows::TFmChoose>(catalogue);
  auto fmScan = std::make_unique<vellumar::windows::TFmScan>();
  auto fmLicenseAgreement = std::make_unique<vellumar::windows::TfmLicenseAgreement>(
      vellumar::AgreementMarkerPath(vellumar::LocalAppDataFolder()));
  if (!fmLicenseAgreement->RunFirstRunAgreement()) {
    return 0;
  }
  auto fmDebug = std::make_unique<vellumar::windows::TFmDebug>();
  fmMain->SetWindows(fmChoose.get(), fmDebug.get());

  CentreOnScreen(*fmMain);
  fmMain->show();
  const int exitCode = app.exec();
  // The main window goes first: it stops a run and closes the drive before anything else ends.
  fmMain.reset();
  return exitCode;
}

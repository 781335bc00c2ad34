#include <unistd.h>

#include <QApplication>
#include <QScreen>
#include <clocale>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "devices/base/drive_record.h"
#include "devices/base/log_sinks.h"
#include "devices/base/version.h"
#include "devices/user/agreement.h"
#include "main/fm_main.h"
#include "main/linux_main_services.h"
#include "main/root_arguments.h"
#include "main/signal_relay.h"
#include "platform/linux/host/system_clock.h"
#include "platform/linux/host/user_account.h"
#include "platform/linux/host/user_files.h"
#include "platform/linux/host/user_locale.h"
#include "platform/linux/host/user_programs.h"
#include "windows/fm_choose.h"
#include "windows/fm_debug.h"
#include "windows/fm_license_agreement.h"
#include "windows/fm_scan.h"
#include "windows/toolkit_translations.h"

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
  // Answered before Qt starts, so it works without a display and as any user.
  if (argc > 1 && std::strcmp(argv[1], "--version") == 0) {
    std::cout << vellumar::VersionLine("vellumar") << "\n";
    return 0;
  }
  const std::vector<std::string> arguments(argv, argv + argc);
  const bool root = ::geteuid() == 0;
  if (root) {
    for (const char* name : vellumar::desktop::kToolkitCodeVariables) {
      ::unsetenv(name);
    }
  }
  std::vector<std::string> toolkitArguments = vellumar::desktop::ToolkitArguments(arguments, root);
  std::vector<char*> toolkitArgv;
  toolkitArgv.reserve(toolkitArguments.size() + 1);
  for (std::string& argument : toolkitArguments) {
    toolkitArgv.push_back(argument.data());
  }
  toolkitArgv.push_back(nullptr);
  int toolkitArgc = static_cast<int>(toolkitArguments.size());

  // The user's date and number forms are read before Qt switches the process locale.
  const vellumar::LocaleSettings locale = vellumar::platform::ReadUserLocale();
  QApplication app(toolkitArgc, toolkitArgv.data());
  // Number output in logs and reports is built with our own separators, never the C library's.
  std::setlocale(LC_NUMERIC, "C");
  // Yes, Cancel, OK and the file dialog in Korean, like every caption.
  vellumar::windows::InstallToolkitTranslations(app);

  const std::vector<std::string> parameters(arguments.begin() + 1, arguments.end());
  vellumar::platform::SystemClock clock;
  vellumar::LogSinks logs(clock, locale);
  vellumar::DeviceCatalogue catalogue;
  const std::unique_ptr<vellumar::desktop::MainServices> services =
      vellumar::desktop::MakeLinuxMainServices(parameters);

  // Run through pkexec or sudo, the person at the desk owns the marker and the started programs.
  const vellumar::EnvironmentReader environment = vellumar::platform::ProcessEnvironment();
  const std::optional<vellumar::UserAccount> deskUser = vellumar::platform::DeskUser(environment);
  const std::string dataFolder = deskUser ? vellumar::platform::UserDataFolder(*deskUser, environment) : "";
  vellumar::platform::UserFiles userFiles(deskUser);
  vellumar::platform::UserProgramLauncher launcher = vellumar::platform::UserProgramLauncher::ForThisProcess();

  // The windows in the program's order: main, chooser, scan, agreement, debug.
  auto fmMain = std::make_unique<vellumar::desktop::TFmMain>(logs, catalogue, *services);
  auto fmChoose = std::make_unique<vellumar::windows::TFmChoose>(catalogue);
  auto fmScan = std::make_unique<vellumar::windows::TFmScan>();
  fmMain->Launcher = &launcher;
  fmChoose->Launcher = &launcher;

  // SIGTERM, SIGHUP and SIGINT act like closing the window: a run stops after its current block
  // and the drive is closed before the program ends. An open dialog is closed first (each means
  // "no" when closed).
  vellumar::desktop::SignalRelay signalRelay;
  QObject::connect(&signalRelay, &vellumar::desktop::SignalRelay::Received, fmMain.get(), [&fmMain] {
    while (QWidget* modal = QApplication::activeModalWidget()) {
      if (!modal->close()) {
        break;
      }
    }
    fmMain->CloseOnRequest();
  });

  auto fmLicenseAgreement =
      std::make_unique<vellumar::windows::TfmLicenseAgreement>(vellumar::AgreementMarkerPath(dataFolder), userFiles);
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

#pragma once

#include <gtest/gtest.h>

#include <QPlainTextEdit>
#include <QTest>
#include <vector>

#include "gui/fake_main_services.h"
#include "gui/print_qt.h"
#include "main/fm_main.h"
#include "support/fake_clock.h"
#include "windows/fm_debug.h"

namespace vellumar::testing {

// The memo's lines without their timestamps.
inline QStringList LogTexts(const QPlainTextEdit* memo) {
  QStringList texts;
  for (const QString& line : memo->toPlainText().split('\n')) {
    const qsizetype cut = line.indexOf("   ");
    texts << (cut < 0 ? line : line.mid(cut + 3));
  }
  return texts;
}

// A main window over the fake services, with every modal conversation answered by the test.
class MainWindowTest : public ::testing::Test {
 public:
  void SetUp() override {
    services.Drives = {MakeDrive("/dev/sda", 1'000'000, 0), MakeDrive("/dev/sdb", 70'000, 1)};
    window.Hooks.Confirm = [this](const ConfirmationRequest& request) {
      confirmations.push_back(request);
      return answer;
    };
    window.Hooks.ShowChooser = [this] {
      if (chooseRow >= 0) {
        catalogue.Choose(chooseRow);
      }
      return catalogue.DeviceChosen;
    };
    window.Hooks.ShowDebugModal = [this] { debugShownModally = debug.Memo1->toPlainText(); };
    window.Hooks.FatalErrorBox = [this](const QString& text) { fatal << text; };
    window.Hooks.Terminate = [this](int code) { exitCodes.push_back(code); };
    window.Hooks.WarningBox = [this](const QString& text, const QString&) { warnings << text; };
    window.SetWindows(nullptr, &debug);
  }

  // Start-up, and its details report, which runs on its own thread.
  bool Start() {
    return window.StartUp() && QTest::qWaitFor([this] { return !window.ReportRunning(); }, 10'000);
  }

  testing::FakeClock clock;
  LogSinks logs{clock, LocaleSettings{}};
  DeviceCatalogue catalogue;
  FakeMainServices services;
  windows::TFmDebug debug;
  desktop::TFmMain window{logs, catalogue, services};
  std::vector<ConfirmationRequest> confirmations;
  int answer = kDialogCancel;
  int chooseRow = 1;
  QString debugShownModally;
  QStringList fatal;
  QStringList warnings;
  std::vector<int> exitCodes;
};

}  // namespace vellumar::testing

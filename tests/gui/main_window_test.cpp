#include <gtest/gtest.h>

#include <QApplication>
#include <QMouseEvent>
#include <QSignalSpy>
#include <QStandardItemModel>
#include <QTest>
#include <QTextBlock>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <csignal>
#include <thread>

#include "gui/main_window_fixture.h"
#include "main/signal_relay.h"

namespace vellumar {
namespace {

using testing::LogTexts;
using testing::MainWindowTest;

// Counts the paint events a widget gets.
struct PaintCounter : QObject {
  int Count = 0;
  bool eventFilter(QObject* watched, QEvent* event) override {
    Count += event->type() == QEvent::Paint ? 1 : 0;
    return QObject::eventFilter(watched, event);
  }
};

TEST_F(MainWindowTest, StartsWithTheDetailsPageStopDisabledAndTheWarningLines) {
  ASSERT_TRUE(Start());
  EXPECT_EQ(window.pages->currentIndex(), 0);
  EXPECT_FALSE(window.btStop->isEnabled());
  EXPECT_FALSE(window.cbQuickWipe->isChecked());
  EXPECT_TRUE(window.btRunBenchmarks->isEnabled());
  const QStringList log = LogTexts(window.Log_BenchMark);
  ASSERT_EQ(log.size(), 3);
  EXPECT_EQ(log[0], " * * * * *  WARNING!!! * * * * * ");
  EXPECT_EQ(log[1], "DURING THE LOW LEVEL FORMAT PROCESS ");
  EXPECT_EQ(log[2], "ALL DATA WILL BE FULLY and IRREVERSIBLY ERASED! ");

  EXPECT_EQ(services.Calls, (std::vector<std::string>{"enumerate", "open /dev/sdb"}));
  EXPECT_EQ(window.lbDiskName->text().toStdString(), window.DiskName());
  EXPECT_EQ(window.StatusPanels[0]->text(), "Vellumar 4.50");
  EXPECT_EQ(window.StatusPanels[1]->text(), "/dev/sdb");
  EXPECT_EQ(window.Log_Details->toPlainText(), "Device details for /dev/sdb");
  EXPECT_TRUE(exitCodes.empty());
  // Without debug mode the debug window is never used.
  EXPECT_EQ(debug.Memo1->toPlainText(), "Debug window");
  EXPECT_TRUE(debugShownModally.isEmpty());
}

TEST_F(MainWindowTest, DebugModeShowsTheTrailBeforeTheChooser) {
  services.Parameters = {"--DEBUG"};
  ASSERT_TRUE(Start());
  const QStringList lines = debugShownModally.split('\n');
  ASSERT_GE(lines.size(), 4);
  EXPECT_EQ(lines[0], "Debug window");
  EXPECT_TRUE(lines[1].endsWith("   Debug mode activated")) << lines[1].toStdString();
  EXPECT_TRUE(lines[2].endsWith("   Program Path: /opt/vellumar/bin/")) << lines[2].toStdString();
  EXPECT_TRUE(lines[3].contains("   Platform: 6.1.0")) << lines[3].toStdString();
}

TEST_F(MainWindowTest, NoChoiceOrAFailedOpenEndsTheProgram) {
  chooseRow = -1;
  EXPECT_FALSE(window.StartUp());
  EXPECT_EQ(services.Calls, std::vector<std::string>{"enumerate"});
  chooseRow = 1;
  services.OpenError = "the device node no longer names the drive that was chosen";
  EXPECT_FALSE(window.StartUp());
  EXPECT_EQ(fatal, QStringList{"Error opening device: the device node no longer names the drive that was chosen"});
  EXPECT_EQ(exitCodes, (std::vector<int>{0, 1}));
}

// A slow drive's S.M.A.R.T. report runs beside the window: the controls are off, the window
// still paints, and they come back when the report is in.
TEST_F(MainWindowTest, ASlowSmartReportLeavesTheWindowPaintingWithTheControlsOff) {
  ASSERT_TRUE(Start());
  window.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
  std::atomic<bool> release{false};
  services.DuringSmart = [&release] {
    while (!release.load()) {
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
  };
  QTest::mouseClick(window.btGetSmart, Qt::LeftButton);
  ASSERT_TRUE(window.ReportRunning());
  EXPECT_FALSE(window.btRunBenchmarks->isEnabled());
  EXPECT_FALSE(window.btGetSmart->isEnabled());
  EXPECT_FALSE(window.cbQuickWipe->isEnabled());
  EXPECT_FALSE(window.cbVerify->isEnabled());
  window.pages->setCurrentIndex(2);
  PaintCounter painted;
  window.Log_Smart->viewport()->installEventFilter(&painted);
  for (int round = 0; round < 3; ++round) {
    window.Log_Smart->viewport()->update();
    QTest::qWait(30);
  }
  EXPECT_GE(painted.Count, 2) << "the window stopped painting during the report";
  EXPECT_TRUE(window.ReportRunning());
  release = true;
  ASSERT_TRUE(QTest::qWaitFor([this] { return !window.ReportRunning(); }, 5'000));
  QTest::qWait(20);
  EXPECT_TRUE(window.btRunBenchmarks->isEnabled());
  EXPECT_TRUE(window.btGetSmart->isEnabled());
  EXPECT_TRUE(window.cbQuickWipe->isEnabled());
  EXPECT_EQ(window.Log_Smart->toPlainText(), "SMART is not supported by this device.");
}

TEST_F(MainWindowTest, CancelledConfirmationChangesNothing) {
  ASSERT_TRUE(Start());
  const QString logBefore = window.Log_BenchMark->toPlainText();
  QTest::mouseClick(window.btRunBenchmarks, Qt::LeftButton);
  QTest::qWait(50);
  ASSERT_EQ(confirmations.size(), 1U);  // its texts are checked with the controller
  EXPECT_TRUE(confirmations[0].Content.ends_with("\r\n\r\n" + window.DiskName() + "\r\n/dev/sdb   Serial number: SN1"))
      << confirmations[0].Content;
  EXPECT_EQ(window.Log_BenchMark->toPlainText(), logBefore);
  EXPECT_TRUE(window.btRunBenchmarks->isEnabled());
  EXPECT_TRUE(window.btGetSmart->isEnabled());
  EXPECT_TRUE(window.cbQuickWipe->isEnabled());
  EXPECT_FALSE(window.RunInProgress());
  EXPECT_EQ(services.Disk.Writes().size(), 0U);
}

TEST_F(MainWindowTest, QuickWipeIsReadFromTheBoxWhenTheRunStarts) {
  ASSERT_TRUE(Start());
  window.cbQuickWipe->setChecked(true);
  answer = kDialogYes;
  QTest::mouseClick(window.btRunBenchmarks, Qt::LeftButton);
  ASSERT_TRUE(
      QTest::qWaitFor([this] { return !window.RunInProgress() && window.btRunBenchmarks->isEnabled(); }, 10'000));
  const std::int64_t size = 70'000 * 512;
  EXPECT_EQ(services.Disk.NonZeroIn(0, 10'240'000), 0);
  EXPECT_EQ(services.Disk.NonZeroIn(size - 1'048'576, size), 0);
  EXPECT_GT(services.Disk.NonZeroIn(10'240'000, size - 1'048'576), 0);
  EXPECT_TRUE(window.cbQuickWipe->isChecked());
}

// A click that arrives while a report runs acts on nothing, then or afterwards.
TEST_F(MainWindowTest, ClicksQueuedDuringAReportAreDropped) {
  ASSERT_TRUE(Start());
  int reports = 0;
  // The report runs on a worker: the clicks are made on the window's thread while it waits,
  // ahead of the report's end in the window's queue.
  services.DuringSmart = [&] {
    ++reports;
    QMetaObject::invokeMethod(
        &window,
        [this] {
          for (QWidget* button :
               {static_cast<QWidget*>(window.btRunBenchmarks), static_cast<QWidget*>(window.btGetSmart)}) {
            const QPointF centre = QRectF(button->rect()).center();
            for (QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease}) {
              QCoreApplication::postEvent(button, new QMouseEvent(type, centre, button->mapToGlobal(centre),
                                                                  Qt::LeftButton, Qt::LeftButton, Qt::NoModifier));
            }
          }
        },
        Qt::BlockingQueuedConnection);
  };
  window.btGetSmartClick();
  ASSERT_TRUE(QTest::qWaitFor([this] { return !window.ReportRunning(); }, 5'000));
  QTest::qWait(50);
  EXPECT_EQ(reports, 1);
  EXPECT_TRUE(confirmations.empty());
  EXPECT_TRUE(window.btRunBenchmarks->isEnabled());
}

// The running system's disk is refused before the confirmation, in the log and in a box.
TEST_F(MainWindowTest, TheSystemDiskNeverReachesTheConfirmation) {
  services.Drives[1].SystemVolume = "/ on /dev/sdb2";
  QStringList notes;
  window.Hooks.InformationBox = [&notes](const QString& text, const QString&) { notes << text; };
  ASSERT_TRUE(Start());
  window.btRunBenchmarksClick();
  const QString line =
      "This device holds the running system (/ on /dev/sdb2); it cannot be formatted while the system runs from it.";
  EXPECT_TRUE(confirmations.empty());
  EXPECT_EQ(notes, QStringList{line});
  EXPECT_EQ(LogTexts(window.Log_BenchMark).last(), line);
  EXPECT_FALSE(window.RunInProgress());
}

// Closing during a run stops it with feedback at once; the window closes once the worker is done.
TEST_F(MainWindowTest, CloseDuringARunStopsItWithFeedbackAndClosesAfterIt) {
  services.Script.WriteDelayMs = 30;
  window.show();
  ASSERT_TRUE(Start());
  answer = kDialogYes;
  window.btRunBenchmarksClick();
  ASSERT_TRUE(QTest::qWaitFor([this] { return window.btStop->isEnabled(); }, 5'000));
  window.close();
  EXPECT_EQ(window.StatusPanels[2]->text(), "Stopping after the current block...");
  EXPECT_FALSE(window.btStop->isEnabled());
  EXPECT_TRUE(window.isVisible());
  ASSERT_TRUE(QTest::qWaitFor([this] { return !window.isVisible(); }, 10'000));
  EXPECT_FALSE(window.RunInProgress());
  EXPECT_TRUE(LogTexts(window.Log_BenchMark).join('\n').contains("Operation cancelled at offset "));
}

// An exception from the run ends it as terminated, says why, and gives the controls back.
TEST_F(MainWindowTest, AnExceptionFromTheRunIsReportedAndTheControlsComeBack) {
  services.Script.ThrowOnOpen = "no memory for the zero buffer";
  ASSERT_TRUE(Start());
  answer = kDialogYes;
  window.btRunBenchmarksClick();
  ASSERT_TRUE(
      QTest::qWaitFor([this] { return !window.RunInProgress() && window.btRunBenchmarks->isEnabled(); }, 10'000));
  EXPECT_TRUE(LogTexts(window.Log_BenchMark).contains("Operation terminated: no memory for the zero buffer"))
      << window.Log_BenchMark->toPlainText().toStdString();
  EXPECT_FALSE(window.btStop->isEnabled());
  EXPECT_TRUE(window.BarPaused());
  EXPECT_EQ(window.StatusPanels[0]->text(), "Terminated: no memory for the zero buffer");
  EXPECT_EQ(warnings, QStringList{window.StatusPanels[0]->text()});
}

// SIGTERM, SIGHUP and SIGINT reach the window's thread as a signal, one each, in order.
TEST(SignalRelayTest, TermHupAndIntArriveOnTheEventLoop) {
  desktop::SignalRelay relay;
  QSignalSpy received(&relay, &desktop::SignalRelay::Received);
  for (const int signalNumber : {SIGTERM, SIGHUP, SIGINT}) {
    ASSERT_EQ(::raise(signalNumber), 0);
  }
  ASSERT_TRUE(QTest::qWaitFor([&received] { return received.size() == 3; }, 5'000));
  EXPECT_EQ(received[0][0].toInt(), SIGTERM);
  EXPECT_EQ(received[1][0].toInt(), SIGHUP);
  EXPECT_EQ(received[2][0].toInt(), SIGINT);
}

TEST_F(MainWindowTest, FullCheckAfterTheRunAndItsReportFromTheSaveButton) {
  ASSERT_TRUE(Start());
  ASSERT_EQ(window.cbVerify->count(), 3);
  EXPECT_EQ(window.cbVerify->itemText(0), QStringLiteral("검증 안 함"));
  EXPECT_EQ(window.cbVerify->itemText(1), QStringLiteral("표본 검증"));
  EXPECT_EQ(window.cbVerify->itemText(2), QStringLiteral("전체 검증"));
  EXPECT_EQ(window.cbVerify->currentIndex(), 0);
  EXPECT_FALSE(window.btSaveReport->isEnabled());
  window.cbVerify->setCurrentIndex(2);
  answer = kDialogYes;
  QTest::mouseClick(window.btRunBenchmarks, Qt::LeftButton);
  ASSERT_TRUE(QTest::qWaitFor([this] { return window.btSaveReport->isEnabled(); }, 10'000));
  const QStringList lines = LogTexts(window.Log_BenchMark);
  const qsizetype passed = lines.indexOf("Verification passed: 35,840,000 bytes read, all zero.");
  ASSERT_GT(passed, 0) << lines.join('\n').toStdString();
  EXPECT_EQ(lines[passed - 2], "Verifying (full)...");
  EXPECT_TRUE(lines[passed - 1].startsWith("Average read speed: ")) << lines[passed - 1].toStdString();
  EXPECT_EQ(lines[passed + 2], "Remember to create new partitions.");

  window.Hooks.AskReportPath = [](const QString& suggested) {
    EXPECT_TRUE(suggested.endsWith(".pdf"));
    return QStringLiteral("/tmp/report.pdf");
  };
  QTest::mouseClick(window.btSaveReport, Qt::LeftButton);
  ASSERT_TRUE(services.Saved.has_value());
  ASSERT_TRUE(services.Saved->Verification.has_value());
  EXPECT_EQ(services.Saved->Verification->Result, "passed");
  EXPECT_EQ(services.Saved->Erase->Outcome, "completed");
  EXPECT_NE(
      std::find(services.Saved->Log.begin(), services.Saved->Log.end(),
                window.Log_BenchMark->document()->findBlockByNumber(static_cast<int>(passed)).text().toStdString()),
      services.Saved->Log.end());

  services.SaveError = "No space left on device";
  QStringList notes;
  window.Hooks.InformationBox = [&notes](const QString& text, const QString&) { notes << text; };
  QTest::mouseClick(window.btSaveReport, Qt::LeftButton);
  EXPECT_EQ(notes, QStringList{"The report could not be saved: No space left on device"});
}

}  // namespace
}  // namespace vellumar

namespace vellumar::testing {
namespace {

TEST_F(MainWindowTest, OnlyTheDrivesOwnMethodsAreOfferedAndCryptoTurnsTheCheckOff) {
  services.Firmware.Path = FirmwarePath::Nvme;
  services.Firmware.Nvme = NvmeController{};
  services.Firmware.Nvme->FormatNvm = true;
  services.Firmware.Nvme->FormatCryptoErase = true;
  ASSERT_TRUE(Start());
  auto* model = qobject_cast<QStandardItemModel*>(window.cbMethod->model());
  ASSERT_NE(model, nullptr);
  const auto item = [&](const char* name) { return model->item(window.cbMethod->findData(QString(name))); };
  ASSERT_TRUE(QTest::qWaitFor([&] { return item("nvme-format")->isEnabled(); }, 5'000));
  EXPECT_TRUE(item("nvme-format-crypto")->isEnabled());
  EXPECT_FALSE(item("nvme-sanitize-block")->isEnabled());
  EXPECT_FALSE(item("ata-secure-erase")->isEnabled());
  EXPECT_TRUE(item("ata-secure-erase")->toolTip().contains("not reached through ATA commands"));

  window.cbVerify->setCurrentIndex(2);
  window.cbMethod->setCurrentIndex(window.cbMethod->findData(QString("nvme-format-crypto")));
  EXPECT_EQ(window.cbVerify->currentIndex(), 0);
  EXPECT_FALSE(window.cbVerify->isEnabled());
  EXPECT_FALSE(window.cbQuickWipe->isEnabled());
  window.cbMethod->setCurrentIndex(0);
  EXPECT_TRUE(window.cbVerify->isEnabled());
  EXPECT_TRUE(window.cbQuickWipe->isEnabled());
}

}  // namespace
}  // namespace vellumar::testing

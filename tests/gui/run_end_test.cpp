#include <gtest/gtest.h>

#include <QTest>
#include <atomic>
#include <chrono>
#include <memory>
#include <thread>

#include "devices/base/units.h"
#include "gui/main_window_fixture.h"
#include "main/run_timer.h"

// Every kind of run ends with the bar, the labels, the format log's "Average speed" line and the
// status bar telling one story: the erase's, with the check's outcome added.
namespace vellumar {
namespace {

enum class Ending { Completed, Cancelled, Failed, CheckFailed };

// The text after `prefix` on the last log line that starts with it.
QString After(const QStringList& lines, const QString& prefix) {
  for (auto line = lines.rbegin(); line != lines.rend(); ++line) {
    if (line->startsWith(prefix)) {
      return line->mid(prefix.size());
    }
  }
  return QStringLiteral("(none)");
}

// One window and one in-memory drive per run; a run to be cancelled waits in a block for Stop.
struct Bench : testing::MainWindowTest {
  ~Bench() override { released = true; }
  void TestBody() override {}
  std::atomic<bool> reached{false};
  std::atomic<bool> released{false};

  void Run(bool quick, int check, Ending end) {
    SetUp();
    answer = kDialogYes;
    if (end == Ending::Cancelled) {
      services.Disk.BeforeWrite([this](std::int64_t offset, std::int64_t) {
        reached = reached || offset >= kMiB;
        while (reached && !released) {
          std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
      });
    }
    if (end == Ending::Failed) {
      services.Disk.FailSector(4'096, kErrorDevNotExist);
    }
    if (end == Ending::CheckFailed) {
      services.Disk.FailReadSector(9, kErrorIoDevice);
    }
    ASSERT_TRUE(Start());
    window.show();
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    window.cbQuickWipe->setChecked(quick);
    window.cbVerify->setCurrentIndex(check);
    window.btRunBenchmarksClick();
    if (end == Ending::Cancelled) {
      ASSERT_TRUE(QTest::qWaitFor([this] { return reached && window.btStop->hasFocus(); }, 10'000));
      EXPECT_EQ(window.lbPhase->text(), "Formatting...");
      EXPECT_TRUE(window.lbTimes->text().startsWith("Elapsed: 0:00:0")) << window.lbTimes->text().toStdString();
      QTest::keyClick(window.btStop, Qt::Key_Space);
      EXPECT_TRUE(window.Log_BenchMark->hasFocus()) << "a keyboard Stop leaves the keyboard in the log";
      released = true;
    }
    ASSERT_TRUE(
        QTest::qWaitFor([this] { return !window.RunInProgress() && window.btRunBenchmarks->isEnabled(); }, 10'000));
  }
};

TEST(RunEnd, TheBarLabelsSpeedLineAndStatusAgreeForEveryKindOfRun) {
  for (const bool quick : {false, true}) {
    for (const int check : {0, 1, 2}) {
      for (const Ending end : {Ending::Completed, Ending::Cancelled, Ending::Failed, Ending::CheckFailed}) {
        if (end == Ending::CheckFailed && check == 0) {
          continue;
        }
        SCOPED_TRACE(::testing::Message()
                     << "quick " << quick << ", check " << check << ", ending " << static_cast<int>(end));
        Bench bench;
        bench.Run(quick, check, end);
        const desktop::TFmMain& window = bench.window;
        const QStringList log = testing::LogTexts(window.Log_BenchMark);
        const QString status = window.StatusPanels[0]->text();
        EXPECT_TRUE(window.BarPaused());
        EXPECT_EQ(QString::number(window.pbCurrentTask->value()) + "% complete", window.lbCurrentPercent->text());
        EXPECT_EQ(window.lbSpeed->text(), After(log, "Average speed: "));
        EXPECT_TRUE(window.lbPhase->text().isEmpty());
        EXPECT_TRUE(window.lbTimes->text().startsWith("Elapsed: ") && !window.lbTimes->text().contains("Remaining"));
        const bool alarming = end == Ending::Failed || end == Ending::CheckFailed;
        EXPECT_EQ(bench.warnings, alarming ? QStringList{status} : QStringList{});
        if (end == Ending::Cancelled) {
          const QString sector = After(log, "Operation cancelled at offset ").section("LBA ", 1);
          EXPECT_EQ(status, "Cancelled at sector " + sector);
          EXPECT_EQ(window.lbCurrentPosition->text(), "Current sector: " + sector);
        } else if (end == Ending::Failed) {
          EXPECT_EQ(status, "Terminated: Device was unplugged");
        } else {
          // After the check the displays went back to the erase's; the check's speed is in the log.
          const QString verdict = end == Ending::CheckFailed ? ", verification failed" : ", verified";
          EXPECT_EQ(status, "Completed" + (check == 0 ? QString() : verdict));
          EXPECT_EQ(window.lbCurrentPercent->text(), "100% complete");
          EXPECT_EQ(window.lbCurrentPosition->text(), "Current sector: 70,000");
          EXPECT_EQ(log.join('\n').contains("Average read speed: "), check != 0);
        }
      }
    }
  }
}

// The estimate follows the phase's own speed and counts down between reports; it goes when the
// run ends, the elapsed time stays.
TEST(RunEnd, TimesShowElapsedAndAnEstimateOfTheRest) {
  desktop::RunTimer timer;
  EXPECT_EQ(timer.Text(0), "");
  timer.Start(1'000);
  timer.Progress(2'000, 10, 100);  // too early to tell
  EXPECT_EQ(timer.Text(2'000), "Elapsed: 0:00:01");
  timer.Progress(11'000, 25, 100);  // a quarter in 10 s
  EXPECT_EQ(timer.Text(11'000), "Elapsed: 0:00:10   Remaining: about 0:00:30");
  EXPECT_EQ(timer.Text(21'000), "Elapsed: 0:00:20   Remaining: about 0:00:20");
  timer.StartPhase(3'661'000);  // the check reads at its own speed
  EXPECT_EQ(timer.Text(3'661'000), "Elapsed: 1:01:00");
  timer.Stop(3'700'000);
  EXPECT_EQ(timer.Text(9'000'000), "Elapsed: 1:01:39");
}

}  // namespace
}  // namespace vellumar

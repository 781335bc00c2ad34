#pragma once

#include <QElapsedTimer>
#include <QMainWindow>
#include <QTimer>
#include <functional>
#include <optional>
#include <string>

#include "devices/base/clock.h"
#include "devices/base/drive_record.h"
#include "devices/base/log_sinks.h"
#include "devices/erase/format_controller.h"
#include "devices/user/user_session.h"
#include "main/drive_rescan.h"
#include "main/drive_watcher.h"
#include "main/erasure_worker.h"
#include "main/main_pages.h"
#include "main/main_services.h"
#include "main/main_window_hooks.h"
#include "main/memo_router.h"
#include "main/report_worker.h"
#include "main/run_timer.h"
#include "windows/fm_choose.h"
#include "windows/fm_debug.h"

namespace vellumar::desktop {

// The colour the progress bar takes after a run, where other desktops have a paused state.
inline const QColor kPausedBarColour(230, 190, 0);

// What the progress group says a run is doing.
QString PhaseCaption(vellumar::RunPhase phase);

// The program's main window. Its first showing runs the start-up (enumeration, the debug
// window, the chooser, opening the drive, the details report); afterwards it offers the three
// pages and starts format runs and reports on their own threads. Its widgets (main_pages.h) are
// members by their own names.
class TFmMain : public QMainWindow, public MainWidgets {
  Q_OBJECT

 public:
  TFmMain(vellumar::LogSinks& logs, vellumar::DeviceCatalogue& catalogue, MainServices& services,
          QWidget* parent = nullptr);
  ~TFmMain() override;

  // The other windows of the main sequence; the chooser and the debug window are optional in tests.
  void SetWindows(vellumar::windows::TFmChoose* chooser, vellumar::windows::TFmDebug* debug);

  // The first showing's sequence. False when the program ends (no drive, or it cannot be opened).
  // The details report is still running when it returns (ReportRunning).
  bool StartUp();

  bool RunInProgress() const { return run_.Running(); }
  bool ReportRunning() const { return reports_.Running(); }
  bool BarPaused() const { return barPaused_; }
  bool DriveGone() const { return driveGone_; }
  const std::string& DiskName() const { return diskName_; }

  // The modal conversations and the program's end; tests replace them.
  MainWindowHooks Hooks;

  // Starts the browser as the person at the desk; the program sets it.
  vellumar::ProgramLauncher* Launcher = nullptr;

  // A close asked for from outside (a signal): like the close button, and the program also ends
  // when the window was never shown.
  void CloseOnRequest();

 public slots:
  void btRunBenchmarksClick();
  void btStopClick();
  void btGetSmartClick();
  void btSaveReportClick();

 protected:
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private slots:
  void StartUpFromEventLoop();

 private:
  QString AskSavePath(const QString& suggested);
  void ConnectRun();
  void SetTitles();
  void SetControlsEnabled(bool enabled);
  void UpdateMethodControls();
  void ShowFirmwareOffers(const std::vector<vellumar::MethodOffer>& offers);
  void SetStopEnabled(bool enabled);
  void SetBarPaused(bool paused);
  void ShowDisplay(const vellumar::FormatDisplay& display);
  void ShowPhase(vellumar::RunPhase phase);
  void ShowTimes();
  void RunFinished(const vellumar::ops::ErasureResult& result, const vellumar::FormatDisplay& eraseDisplay);
  void ShowOutcome(const vellumar::ops::ErasureResult& result);
  void StartReport(std::function<void()> report, vellumar::LogSink& sink);
  void ReportFinished(const QString& failure);
  void WatchDrives();
  void DrivesChanged();
  void ApplyProbe(const vellumar::DeviceCatalogue& fresh, const QString& statusText);
  bool Busy() const { return run_.Running() || reports_.Running(); }
  void EndProgram(int exitCode);
  void RequestStopWithFeedback();
  std::int64_t Now() const { return steady_.elapsed(); }

  vellumar::LogSinks& logs_;
  vellumar::DeviceCatalogue& catalogue_;
  MainServices& services_;
  vellumar::windows::TFmChoose* chooser_ = nullptr;
  vellumar::windows::TFmDebug* debug_ = nullptr;
  MemoRouter* memos_ = nullptr;
  ErasureWorker run_;
  ReportWorker reports_;
  // The log the running report writes to: a failure that breaks it off is said there.
  vellumar::LogSink* reportSink_ = nullptr;
  DriveWatcher* watcher_ = nullptr;
  DriveRescan* rescan_ = nullptr;
  // Set while the chooser is open: a change of drives is probed again and shown in its list.
  bool choosing_ = false;
  // The chosen disk as the system showed it when it was chosen; nullopt when it is not a disk
  // the watch sees (an image file).
  std::optional<vellumar::PresentDisk> chosenDisk_;
  bool driveGone_ = false;
  // The record of the last run that wrote, as the job made it; "보고서 저장" writes it.
  std::optional<vellumar::ErasureCertificate> lastCertificate_;
  std::int64_t runSectorSize_ = 512;
  QElapsedTimer steady_;
  RunTimer times_;
  QTimer timesTick_;
  std::string diskName_;
  bool shownOnce_ = false;
  bool deviceOpen_ = false;
  bool controlsEnabled_ = true;
  bool barPaused_ = false;
  // A close waits for the run or the report to return; the window closes when it has.
  bool closeAfterWork_ = false;
  // Set once a stop was asked for; Stop stays disabled until the run has ended.
  bool stopping_ = false;
};

}  // namespace vellumar::desktop

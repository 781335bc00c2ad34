#pragma once

#include <QMainWindow>
#include <ctime>
#include <optional>
#include <string>

#include "devices/base/clock.h"
#include "devices/base/drive_record.h"
#include "devices/base/log_sinks.h"
#include "devices/erase/format_controller.h"
#include "devices/user/user_session.h"
#include "main/erasure_worker.h"
#include "main/main_pages.h"
#include "main/main_services.h"
#include "main/main_window_hooks.h"
#include "main/memo_router.h"
#include "windows/fm_choose.h"
#include "windows/fm_debug.h"

namespace vellumar::desktop {

// The colour the progress bar takes after a run, where other desktops have a paused state.
inline const QColor kPausedBarColour(230, 190, 0);

// The program's main window. Its first showing runs the start-up (enumeration, the debug
// window, the chooser, opening the drive, the details report); afterwards it offers the three
// pages and starts format runs on their own thread. Its widgets (main_pages.h) are members by
// their own names.
class TFmMain : public QMainWindow, public MainWidgets {
  Q_OBJECT

 public:
  TFmMain(vellumar::LogSinks& logs, vellumar::DeviceCatalogue& catalogue, MainServices& services,
          QWidget* parent = nullptr);
  ~TFmMain() override;

  // The other windows of the main sequence; the chooser and the debug window are optional in tests.
  void SetWindows(vellumar::windows::TFmChoose* chooser, vellumar::windows::TFmDebug* debug);

  // The first showing's sequence. False when the program ends (no drive, or it cannot be opened).
  bool StartUp();

  bool RunInProgress() const { return run_.Running(); }
  bool BarPaused() const { return barPaused_; }
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
  void ConnectRun();
  void SetTitles();
  void SetControlsEnabled(bool enabled);
  void SetBarPaused(bool paused);
  void ShowDisplay(const vellumar::FormatDisplay& display);
  void RunFinished(const vellumar::ops::ErasureResult& result);
  void EndProgram(int exitCode);
  void RequestStopWithFeedback();

  vellumar::LogSinks& logs_;
  vellumar::DeviceCatalogue& catalogue_;
  MainServices& services_;
  vellumar::windows::TFmChoose* chooser_ = nullptr;
  vellumar::windows::TFmDebug* debug_ = nullptr;
  MemoRouter* memos_ = nullptr;
  ErasureWorker run_;
  // The record of the last run that wrote, as the job made it; "보고서 저장" writes it.
  std::optional<vellumar::ErasureCertificate> lastCertificate_;
  std::string diskName_;
  bool shownOnce_ = false;
  bool deviceOpen_ = false;
  bool barPaused_ = false;
  bool closeAfterRun_ = false;
  // Set once a stop was asked for; Stop stays disabled until the run has ended.
  bool stopping_ = false;
};

}  // namespace vellumar::desktop

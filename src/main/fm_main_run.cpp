#include <algorithm>

#include "main/fm_main.h"
#include "main/method_choice.h"
#include "main/run_outcome.h"
#include "windows/window_texts.h"

// The main window's format run: start, progress, phases and times, stop, and how it ended.
namespace vellumar::desktop {

using vellumar::windows::FromUtf8;

QString PhaseCaption(vellumar::RunPhase phase) {
  switch (phase) {
    case vellumar::RunPhase::Formatting:
      return QStringLiteral("Formatting...");
    case vellumar::RunPhase::VerifyingFull:
      return QStringLiteral("Verifying (full)...");
    case vellumar::RunPhase::VerifyingSample:
      return QStringLiteral("Verifying (sample)...");
    case vellumar::RunPhase::Sanitizing:
      return QStringLiteral("Sanitizing...");
  }
  return {};
}

void TFmMain::ConnectRun() {
  connect(&run_, &ErasureWorker::ProgressChanged, this, &TFmMain::ShowDisplay, Qt::QueuedConnection);
  connect(&run_, &ErasureWorker::ControlsEnabledChanged, this, &TFmMain::SetControlsEnabled, Qt::QueuedConnection);
  connect(&run_, &ErasureWorker::StopEnabledChanged, this, &TFmMain::SetStopEnabled, Qt::QueuedConnection);
  connect(&run_, &ErasureWorker::BarPausedChanged, this, &TFmMain::SetBarPaused, Qt::QueuedConnection);
  connect(&run_, &ErasureWorker::PhaseChanged, this, &TFmMain::ShowPhase, Qt::QueuedConnection);
  connect(&run_, &ErasureWorker::Finished, this, &TFmMain::RunFinished, Qt::QueuedConnection);
}

void TFmMain::btRunBenchmarksClick() {
  if (Busy() || !catalogue_.DeviceChosen || !deviceOpen_) {
    return;
  }
  constexpr vellumar::VerifyMethod kMethods[] = {vellumar::VerifyMethod::None, vellumar::VerifyMethod::Sample,
                                                 vellumar::VerifyMethod::Full};
  const vellumar::TDeviceTable& drive = catalogue_.Selected();
  vellumar::ops::ErasureRequest request;
  request.Drive = drive;
  request.Caption = diskName_;
  request.Method = ChosenMethod(cbMethod, cbQuickWipe->isChecked());
  request.Verify = kMethods[std::clamp(cbVerify->currentIndex(), 0, 2)];
  vellumar::ops::ErasureParts parts = services_.MakeRunParts(drive, logs_);
  // The job refuses the running system's disk and asks for confirmation here, on the window's
  // thread, before the run gets its own.
  const std::optional<vellumar::ops::ErasureResult> ended = vellumar::ops::ConfirmErasure(
      request, parts, logs_,
      [this](const vellumar::ConfirmationRequest& asked) { return Hooks.Confirm(asked) == vellumar::kDialogYes; });
  if (ended) {
    if (!ended->Run.Refusal.empty()) {
      Hooks.InformationBox(FromUtf8(ended->Run.Refusal), QStringLiteral("Cannot format this device"));
    }
    return;
  }
  // Disabled at once, so nothing can be clicked twice before the run's own first update arrives.
  SetControlsEnabled(false);
  stopping_ = false;
  StatusPanels[0]->setText(vellumar::windows::ProductName());
  StatusPanels[2]->clear();
  btSaveReport->setEnabled(false);
  lastCertificate_.reset();
  runSectorSize_ = drive.IdentifyData.SectorSize;
  times_.Start(Now());
  ShowTimes();
  timesTick_.start();
  run_.Start(request, std::move(parts), logs_, logs_.WallClock());
}

void TFmMain::btStopClick() {
  if (run_.Running()) {
    RequestStopWithFeedback();
    // Stop turns grey at once; the keyboard goes on in the log, not on the next button.
    Log_BenchMark->setFocus();
  } else {
    run_.RequestStop();
  }
}

void TFmMain::RequestStopWithFeedback() {
  run_.RequestStop();
  stopping_ = true;
  btStop->setEnabled(false);
  StatusPanels[2]->setText(QStringLiteral("Stopping after the current block..."));
}

void TFmMain::SetStopEnabled(bool enabled) {
  const bool on = enabled && !stopping_;
  if (!on && btStop->hasFocus()) {
    Log_BenchMark->setFocus();
  }
  btStop->setEnabled(on);
  if (on) {
    btStop->setFocus();
  }
}

void TFmMain::SetBarPaused(bool paused) {
  barPaused_ = paused;
  QPalette colours = pbCurrentTask->palette();
  colours.setColor(QPalette::Highlight, paused ? kPausedBarColour : palette().color(QPalette::Highlight));
  pbCurrentTask->setPalette(colours);
}

void TFmMain::ShowDisplay(const vellumar::FormatDisplay& display) {
  pbCurrentTask->setValue(display.BarPosition);
  lbCurrentPercent->setText(FromUtf8(display.PercentText));
  lbCurrentPosition->setText(FromUtf8(display.PositionText));
  lbSpeed->setText(FromUtf8(display.SpeedText));
  if (run_.Running()) {
    times_.Progress(Now(), display.DoneBytes, display.TotalBytes);
  }
}

void TFmMain::ShowPhase(vellumar::RunPhase phase) {
  lbPhase->setText(PhaseCaption(phase));
  times_.StartPhase(Now());
  ShowTimes();
}

void TFmMain::ShowTimes() { lbTimes->setText(FromUtf8(times_.Text(Now()))); }

void TFmMain::RunFinished(const vellumar::ops::ErasureResult& result, const vellumar::FormatDisplay& eraseDisplay) {
  run_.Join();
  timesTick_.stop();
  times_.Stop(Now());
  ShowTimes();
  lbPhase->clear();
  if (!result.Run.Confirmed) {
    // Refused before it began (the disk became the running system's since it was confirmed):
    // the run never took the controls, so they come back here.
    SetControlsEnabled(true);
    if (!result.Run.Refusal.empty() && !closeAfterWork_) {
      Hooks.InformationBox(FromUtf8(result.Run.Refusal), QStringLiteral("Cannot format this device"));
    }
  }
  if (result.Run.WorkerRan) {
    // The erase's own figures, as its "Average speed" line has them; a check's are in the log.
    ShowDisplay(eraseDisplay);
  }
  SetStopEnabled(false);
  stopping_ = false;
  if (result.Certificate) {
    lastCertificate_ = result.Certificate;
    btSaveReport->setEnabled(true);
  }
  if (closeAfterWork_) {
    close();
    return;
  }
  StatusPanels[2]->clear();
  if (result.Run.Confirmed) {
    ShowOutcome(result);
  }
}

void TFmMain::ShowOutcome(const vellumar::ops::ErasureResult& result) {
  const RunOutcome outcome = DescribeOutcome(result, runSectorSize_);
  const QString status = FromUtf8(outcome.Status);
  StatusPanels[0]->setText(status);
  if (outcome.Alarming) {
    Hooks.WarningBox(status, QStringLiteral("Low-level format"));
  }
}

}  // namespace vellumar::desktop

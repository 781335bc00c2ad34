#include "main/fm_main.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFileDialog>
#include <QMessageBox>
#include <QStandardPaths>
#include <algorithm>

#include "main/choose_device.h"
#include "windows/busy_input.h"
#include "windows/program_links.h"
#include "windows/screen_fit.h"
#include "windows/task_dialog.h"
#include "windows/window_fonts.h"
#include "windows/window_texts.h"

namespace vellumar::desktop {

using vellumar::windows::DesignFont;
using vellumar::windows::FromUtf8;

TFmMain::TFmMain(vellumar::LogSinks& logs, vellumar::DeviceCatalogue& catalogue, MainServices& services,
                 QWidget* parent)
    : QMainWindow(parent), logs_(logs), catalogue_(catalogue), services_(services) {
  setObjectName(QStringLiteral("FmMain"));
  QFont font = DesignFont(QStringLiteral("Tahoma"), 12);
  vellumar::windows::ApplyIconTitleFont(font);
  vellumar::windows::ApplyCalibriFont(font);
  setFont(font);
  vellumar::windows::FitToScreen(*this, QSize(768, 499), QSize(750, 450), false);
  BuildWidgets(*this, font);

  Hooks.Confirm = [this](const vellumar::ConfirmationRequest& request) {
    return vellumar::windows::ShowTaskDialogOrMessage(this, request);
  };
  Hooks.ShowChooser = [this] { return chooser_ != nullptr && ChooseDevice(catalogue_, *chooser_, logs_.Locale()); };
  Hooks.ShowDebugModal = [this] {
    if (debug_ != nullptr) {
      debug_->hide();
      debug_->exec();
    }
  };
  Hooks.FatalErrorBox = [](const QString& text) {
    QMessageBox box(QMessageBox::Critical, QStringLiteral("Error"), text, QMessageBox::Ok);
    box.setTextFormat(Qt::PlainText);
    box.exec();
  };
  Hooks.InformationBox = [this](const QString& text, const QString& caption) {
    vellumar::windows::ShowPlainNote(this, text, caption);
  };
  Hooks.Terminate = [](int exitCode) { QCoreApplication::exit(exitCode); };

  memos_ = new MemoRouter(logs_, {Log_BenchMark, Log_Details, Log_Smart}, this);
  ConnectRun();
  connect(btRunBenchmarks, &QPushButton::clicked, this, &TFmMain::btRunBenchmarksClick);
  connect(btStop, &QPushButton::clicked, this, &TFmMain::btStopClick);
  connect(btGetSmart, &QPushButton::clicked, this, &TFmMain::btGetSmartClick);
  connect(lbCopyright, &vellumar::windows::LinkLabel::clicked, this, [this] {
    vellumar::windows::OpenWebAddress(Launcher, vellumar::windows::ProductWebAddress(), Hooks.InformationBox);
  });
  SetTitles();
}

TFmMain::~TFmMain() {
  run_.RequestStop();
  run_.Join();
  memos_->Detach();
  if (deviceOpen_) {
    services_.CloseDevice();
  }
}

void TFmMain::ConnectRun() {
  connect(&run_, &ErasureWorker::ProgressChanged, this, &TFmMain::ShowDisplay, Qt::QueuedConnection);
  connect(&run_, &ErasureWorker::ControlsEnabledChanged, this, &TFmMain::SetControlsEnabled, Qt::QueuedConnection);
  connect(
      &run_, &ErasureWorker::StopEnabledChanged, this,
      [this](bool enabled) {
        btStop->setEnabled(enabled && !stopping_);
        if (enabled && !stopping_) {
          btStop->setFocus();
        }
      },
      Qt::QueuedConnection);
  connect(&run_, &ErasureWorker::BarPausedChanged, this, &TFmMain::SetBarPaused, Qt::QueuedConnection);
  connect(&run_, &ErasureWorker::Finished, this, &TFmMain::RunFinished, Qt::QueuedConnection);
  connect(btSaveReport, &QPushButton::clicked, this, &TFmMain::btSaveReportClick);
}

void TFmMain::SetTitles() {
  const QString product = vellumar::windows::ProductName();
  setWindowTitle(product);
  QCoreApplication::setApplicationName(product);
  StatusPanels[0]->setText(product);
  lbCopyright->setText(vellumar::windows::kCopyrightLine + QStringLiteral(";   ") +
                       vellumar::windows::ProductWebAddress().toUpper());
}

void TFmMain::RequestStopWithFeedback() {
  run_.RequestStop();
  stopping_ = true;
  btStop->setEnabled(false);
  StatusPanels[2]->setText(QStringLiteral("Stopping after the current block..."));
}

void TFmMain::closeEvent(QCloseEvent* event) {
  if (run_.Running()) {
    // The drive stays open until the worker has returned; the window closes when it does.
    closeAfterRun_ = true;
    RequestStopWithFeedback();
    event->ignore();
    return;
  }
  if (deviceOpen_) {
    services_.CloseDevice();
    deviceOpen_ = false;
  }
  event->accept();
}

void TFmMain::btRunBenchmarksClick() {
  if (run_.Running() || !catalogue_.DeviceChosen || !deviceOpen_) {
    return;
  }
  constexpr vellumar::VerifyMethod kMethods[] = {vellumar::VerifyMethod::None, vellumar::VerifyMethod::Sample,
                                                 vellumar::VerifyMethod::Full};
  const vellumar::TDeviceTable& drive = catalogue_.Selected();
  vellumar::ops::ErasureRequest request;
  request.Drive = drive;
  request.Caption = diskName_;
  request.Method =
      cbQuickWipe->isChecked() ? vellumar::ops::EraseMethod::QuickWipe : vellumar::ops::EraseMethod::ZeroFill;
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
  StatusPanels[2]->clear();
  btSaveReport->setEnabled(false);
  lastCertificate_.reset();
  run_.Start(request, std::move(parts), logs_, logs_.WallClock());
}

void TFmMain::btStopClick() {
  if (run_.Running()) {
    RequestStopWithFeedback();
  } else {
    run_.RequestStop();
  }
}

void TFmMain::btGetSmartClick() {
  if (!deviceOpen_) {
    return;
  }
  SetControlsEnabled(false);
  vellumar::windows::RepaintNow(this);
  services_.ShowSmartReport(catalogue_.Selected(), logs_);
  // A click made during the report must not start a second one or a run afterwards.
  vellumar::windows::DropQueuedInput();
  SetControlsEnabled(true);
}

void TFmMain::SetControlsEnabled(bool enabled) {
  btRunBenchmarks->setEnabled(enabled);
  btGetSmart->setEnabled(enabled);
  cbQuickWipe->setEnabled(enabled);
  cbVerify->setEnabled(enabled);
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
}

void TFmMain::RunFinished(const vellumar::ops::ErasureResult& result) {
  run_.Join();
  if (!result.Run.Confirmed) {
    // Refused before it began (the disk became the running system's since it was confirmed):
    // the run never took the controls, so they come back here.
    SetControlsEnabled(true);
    if (!result.Run.Refusal.empty() && !closeAfterRun_) {
      Hooks.InformationBox(FromUtf8(result.Run.Refusal), QStringLiteral("Cannot format this device"));
    }
  }
  btStop->setEnabled(false);
  stopping_ = false;
  if (result.Certificate) {
    lastCertificate_ = result.Certificate;
    btSaveReport->setEnabled(true);
  }
  if (!closeAfterRun_) {
    StatusPanels[2]->clear();
  }
  if (closeAfterRun_) {
    close();
  }
}

void TFmMain::btSaveReportClick() {
  if (!lastCertificate_ || run_.Running()) {
    return;
  }
  const vellumar::ErasureCertificate& certificate = *lastCertificate_;
  const QString stem = QString::fromStdString(vellumar::CertificateFileStem(
      certificate.Drive.Serial,
      QDateTime::currentDateTimeUtc().toString(QStringLiteral("yyyyMMddTHHmmssZ")).toStdString()));
  // The person's Documents folder, or their home where there is none; never the working folder.
  QString start = QString::fromStdString(services_.ReportFolder());
  if (start.isEmpty()) {
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    start = !documents.isEmpty() && QDir(documents).exists() ? documents : QDir::homePath();
  }
  const QString suggested = start + "/" + stem + ".pdf";
  const QString path = Hooks.AskReportPath ? Hooks.AskReportPath(suggested)
                                           : QFileDialog::getSaveFileName(this, QStringLiteral("보고서 저장"),
                                                                          suggested, QStringLiteral("PDF (*.pdf)"));
  if (path.isEmpty()) {
    return;
  }
  std::string error;
  const std::string written = services_.SaveCertificate(certificate, path.toStdString(), error);
  logs_.BenchMarkLog(written.empty() ? "The report could not be saved: " + error : "Report saved: " + written);
  if (written.empty() && Hooks.InformationBox) {
    // A report the user believes saved is worse than none: the failure is said where they look.
    Hooks.InformationBox(QString::fromStdString("The report could not be saved: " + error),
                         QStringLiteral("보고서 저장"));
  }
}

}  // namespace vellumar::desktop

#include "main/fm_main.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QDateTime>
#include <QFileDialog>
#include <QMessageBox>
#include <QStandardPaths>
#include <QTextBlock>
#include <QTextDocument>
#include <algorithm>

#include "devices/base/product.h"
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
  connect(&run_, &FormatRun::ProgressChanged, this, &TFmMain::ShowDisplay, Qt::QueuedConnection);
  connect(&run_, &FormatRun::ControlsEnabledChanged, this, &TFmMain::SetControlsEnabled, Qt::QueuedConnection);
  connect(
      &run_, &FormatRun::StopEnabledChanged, this,
      [this](bool enabled) {
        btStop->setEnabled(enabled && !stopping_);
        if (enabled && !stopping_) {
          btStop->setFocus();
        }
      },
      Qt::QueuedConnection);
  connect(&run_, &FormatRun::BarPausedChanged, this, &TFmMain::SetBarPaused, Qt::QueuedConnection);
  connect(&run_, &FormatRun::Finished, this, &TFmMain::RunFinished, Qt::QueuedConnection);
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
  const bool quickWipe = cbQuickWipe->isChecked();
  const vellumar::TDeviceTable& chosen = catalogue_.Selected();
  if (!chosen.SystemVolume.empty()) {
    // The running system's disk never reaches the confirmation.
    const std::string line = vellumar::RunningSystemRefusalLine(chosen.SystemVolume);
    logs_.BenchMarkLog(line);
    Hooks.InformationBox(FromUtf8(line), QStringLiteral("Cannot format this device"));
    return;
  }
  if (Hooks.Confirm(vellumar::FormatConfirmation(diskName_, chosen)) != vellumar::kDialogYes) {
    return;
  }
  // Disabled at once, so nothing can be clicked twice before the run's own first update arrives.
  SetControlsEnabled(false);
  stopping_ = false;
  StatusPanels[2]->clear();
  btSaveReport->setEnabled(false);
  lastRun_.reset();
  lastQuick_ = quickWipe;
  runStarted_ = std::time(nullptr);
  runFirstLine_ = Log_BenchMark->document()->blockCount();
  constexpr vellumar::VerifyMethod kMethods[] = {vellumar::VerifyMethod::None, vellumar::VerifyMethod::Sample,
                                                 vellumar::VerifyMethod::Full};
  const vellumar::TDeviceTable& drive = catalogue_.Selected();
  run_.Start(vellumar::RunRequest{quickWipe, drive, diskName_, {}}, services_.MakeRunParts(drive, logs_), logs_,
             logs_.WallClock(), kMethods[std::clamp(cbVerify->currentIndex(), 0, 2)]);
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

void TFmMain::RunFinished(const vellumar::RunReport& report) {
  run_.Join();
  if (!report.Confirmed) {
    // Refused before it began (the disk became the running system's since it was listed): the
    // run never took the controls, so they come back here.
    SetControlsEnabled(true);
    if (!report.Refusal.empty() && !closeAfterRun_) {
      Hooks.InformationBox(FromUtf8(report.Refusal), QStringLiteral("Cannot format this device"));
    }
  }
  btStop->setEnabled(false);
  stopping_ = false;
  runEnded_ = std::time(nullptr);
  if (report.WorkerRan) {
    lastRun_ = report;
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
  if (!lastRun_ || !catalogue_.DeviceChosen || run_.Running()) {
    return;
  }
  const vellumar::TDeviceTable& drive = catalogue_.Selected();
  vellumar::ErasureCertificate certificate;
  const std::string_view product = vellumar::kProductName;
  certificate.ToolName = std::string(product.substr(0, product.rfind(' ')));
  certificate.ToolVersion = std::string(product.substr(product.rfind(' ') + 1));
  const vellumar::TIdentifyDeviceData& id = drive.IdentifyData;
  // The run's lines, as the memo shows them: from the run's header to its closing line.
  const QTextDocument* memo = Log_BenchMark->document();
  for (int line = runFirstLine_; line < memo->blockCount(); ++line) {
    certificate.Log.push_back(memo->findBlockByNumber(line).text().toStdString());
  }
  if (!certificate.Log.empty() && certificate.Log.front().empty()) {
    certificate.Log.erase(certificate.Log.begin());
  }
  certificate.Erase = vellumar::EraseRecord(lastQuick_, id.LBA * id.SectorSize, id.SectorSize, lastRun_->Result,
                                            certificate.Log, run_.RunSpeed());
  certificate.Verification = run_.LastCheck();

  const QString stem = QString::fromStdString(vellumar::CertificateFileStem(
      id.SN, QDateTime::currentDateTimeUtc().toString(QStringLiteral("yyyyMMddTHHmmssZ")).toStdString()));
  const std::string folder = services_.ReportFolder();
  const QString suggested = (folder.empty() ? QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation)
                                            : QString::fromStdString(folder)) +
                            "/" + stem + ".pdf";
  const QString path = Hooks.AskReportPath ? Hooks.AskReportPath(suggested)
                                           : QFileDialog::getSaveFileName(this, QStringLiteral("보고서 저장"),
                                                                          suggested, QStringLiteral("PDF (*.pdf)"));
  if (path.isEmpty()) {
    return;
  }
  std::string error;
  const std::string written =
      services_.SaveCertificate(certificate, drive, runStarted_, runEnded_, path.toStdString(), error);
  logs_.BenchMarkLog(written.empty() ? "The report could not be saved: " + error : "Report saved: " + written);
}

}  // namespace vellumar::desktop

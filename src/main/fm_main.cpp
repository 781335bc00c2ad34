#include "main/fm_main.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFileDialog>
#include <QMessageBox>
#include <QStandardPaths>
#include <QUrl>

#include "main/choose_device.h"
#include "main/method_choice.h"
#include "windows/program_links.h"
#include "windows/screen_fit.h"
#include "windows/task_dialog.h"
#include "windows/window_fonts.h"
#include "windows/window_texts.h"

namespace vellumar::desktop {

using vellumar::windows::DesignFont;
using vellumar::windows::FromUtf8;

namespace {

void ShowPlainBox(QWidget* owner, QMessageBox::Icon icon, const QString& text, const QString& caption) {
  QMessageBox box(icon, caption, text, QMessageBox::Ok, owner);
  box.setTextFormat(Qt::PlainText);
  box.exec();
}

}  // namespace

TFmMain::TFmMain(vellumar::LogSinks& logs, vellumar::DeviceCatalogue& catalogue, MainServices& services,
                 QWidget* parent)
    : QMainWindow(parent), logs_(logs), catalogue_(catalogue), services_(services) {
  setObjectName(QStringLiteral("FmMain"));
  QFont font = DesignFont(QStringLiteral("Tahoma"), 12);
  vellumar::windows::ApplyIconTitleFont(font);
  vellumar::windows::ApplyCalibriFont(font);
  setFont(font);
  BuildWidgets(*this, font);
  // The design size, or what the pages need where their texts are wider, as far as the screen allows.
  const QSize needed = minimumSizeHint();
  vellumar::windows::FitToScreen(*this, QSize(768, 499).expandedTo(needed), QSize(750, 450).expandedTo(needed), false);

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
  Hooks.FatalErrorBox = [](const QString& text) { ShowPlainBox(nullptr, QMessageBox::Critical, text, "Error"); };
  Hooks.InformationBox = [this](const QString& text, const QString& caption) {
    vellumar::windows::ShowPlainNote(this, text, caption);
  };
  Hooks.WarningBox = [this](const QString& text, const QString& caption) {
    ShowPlainBox(this, QMessageBox::Warning, text, caption);
  };
  Hooks.Terminate = [](int exitCode) { QCoreApplication::exit(exitCode); };

  memos_ = new MemoRouter(logs_, {Log_BenchMark, Log_Details, Log_Smart}, this);
  rescan_ = new DriveRescan(services_, logs_.WallClock(), logs_.Locale(), this);
  connect(rescan_, &DriveRescan::Probed, this, &TFmMain::ApplyProbe);
  steady_.start();
  timesTick_.setInterval(1'000);
  connect(&timesTick_, &QTimer::timeout, this, &TFmMain::ShowTimes);
  ConnectRun();
  connect(&reports_, &ReportWorker::Finished, this, &TFmMain::ReportFinished, Qt::QueuedConnection);
  connect(btRunBenchmarks, &QPushButton::clicked, this, &TFmMain::btRunBenchmarksClick);
  connect(btStop, &QPushButton::clicked, this, &TFmMain::btStopClick);
  connect(btGetSmart, &QPushButton::clicked, this, &TFmMain::btGetSmartClick);
  connect(btSaveReport, &QPushButton::clicked, this, &TFmMain::btSaveReportClick);
  connect(cbMethod, &QComboBox::currentIndexChanged, this, [this] { UpdateMethodControls(); });
  connect(lbCopyright, &vellumar::windows::LinkLabel::clicked, this, [this] {
    vellumar::windows::OpenWebAddress(Launcher, vellumar::windows::ProductWebAddress(), Hooks.InformationBox);
  });
  SetTitles();
}

TFmMain::~TFmMain() {
  // Nothing may still read or write through the drive when it is closed.
  run_.RequestStop();
  run_.Join();
  reports_.Join();
  rescan_->Join();
  memos_->Detach();
  if (deviceOpen_) {
    services_.CloseDevice();
  }
}

void TFmMain::SetTitles() {
  const QString product = vellumar::windows::ProductName();
  setWindowTitle(product);
  QCoreApplication::setApplicationName(product);
  StatusPanels[0]->setText(product);
  lbCopyright->setText(vellumar::windows::kCopyrightLine + QStringLiteral(";   ") +
                       vellumar::windows::ProductWebAddress().toUpper());
}

void TFmMain::closeEvent(QCloseEvent* event) {
  if (Busy()) {
    // The drive stays open until the worker has returned; the window closes when it does.
    closeAfterWork_ = true;
    if (run_.Running()) {
      RequestStopWithFeedback();
    }
    event->ignore();
    return;
  }
  if (deviceOpen_) {
    services_.CloseDevice();
    deviceOpen_ = false;
  }
  event->accept();
}

void TFmMain::SetControlsEnabled(bool enabled) {
  btRunBenchmarks->setEnabled(enabled);
  btGetSmart->setEnabled(enabled);
  controlsEnabled_ = enabled;
  cbMethod->setEnabled(enabled);
  UpdateMethodControls();
}

void TFmMain::UpdateMethodControls() {
  // The quick wipe is a kind of zero fill; a crypto erase cannot be checked by reading back.
  cbQuickWipe->setEnabled(controlsEnabled_ && ZeroFillChosen(cbMethod));
  const bool crypto = CryptoChosen(cbMethod);
  if (crypto) {
    cbVerify->setCurrentIndex(0);
  }
  cbVerify->setEnabled(controlsEnabled_ && !crypto);
}

void TFmMain::ShowFirmwareOffers(const std::vector<vellumar::MethodOffer>& offers) {
  ApplyMethodOffers(cbMethod, offers);
  UpdateMethodControls();
}

void TFmMain::btGetSmartClick() {
  if (!deviceOpen_ || Busy()) {
    return;
  }
  const vellumar::TDeviceTable drive = catalogue_.Selected();
  StartReport([this, drive] { services_.ShowSmartReport(drive, logs_); }, logs_.Smart);
}

void TFmMain::StartReport(std::function<void()> report, vellumar::LogSink& sink) {
  // The controls stay off until the report has returned; the window goes on painting meanwhile.
  SetControlsEnabled(false);
  reportSink_ = &sink;
  reports_.Start(std::move(report));
}

void TFmMain::ReportFinished(const QString& failure) {
  reports_.Join();
  if (!failure.isEmpty() && reportSink_ != nullptr) {
    reportSink_->Append("The report could not be completed: " + failure.toStdString());
  }
  reportSink_ = nullptr;
  SetControlsEnabled(true);
  if (closeAfterWork_) {
    close();
  }
}

// Qt's own save dialog, so its side bar can list the removable media first (a certificate stick).
QString TFmMain::AskSavePath(const QString& suggested) {
  QFileDialog dialog(this, QStringLiteral("보고서 저장"), suggested, QStringLiteral("PDF (*.pdf)"));
  dialog.setOption(QFileDialog::DontUseNativeDialog);
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.selectFile(suggested);
  QList<QUrl> places;
  for (const std::string& folder : services_.RemovableMediaFolders()) {
    places.append(QUrl::fromLocalFile(QString::fromStdString(folder)));
  }
  dialog.setSidebarUrls(places + dialog.sidebarUrls());
  return dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty() ? dialog.selectedFiles().front()
                                                                                 : QString();
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
  const QString path = Hooks.AskReportPath ? Hooks.AskReportPath(suggested) : AskSavePath(suggested);
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

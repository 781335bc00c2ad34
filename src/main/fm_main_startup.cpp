#include "devices/base/text_format.h"
#include "main/fm_main.h"
#include "windows/busy_input.h"
#include "windows/window_texts.h"

// The main window's first showing (enumeration, the debug window, the chooser, opening the
// drive, the details report) and the program's end; fm_main.cpp holds the rest of the window.
namespace vellumar::desktop {

using vellumar::windows::FromUtf8;

void TFmMain::SetWindows(vellumar::windows::TFmChoose* chooser, vellumar::windows::TFmDebug* debug) {
  chooser_ = chooser;
  debug_ = debug;
  memos_->SetDebugMemo(debug_ != nullptr ? debug_->Memo1 : nullptr);
  if (chooser_ != nullptr) {
    chooser_->setWindowTitle(QStringLiteral("Device Selection - ") + vellumar::windows::ProductName());
  }
}

bool TFmMain::StartUp() {
  const vellumar::EnumerationResult found = services_.EnumerateDevices(catalogue_, logs_, [this] {
    if (debug_ != nullptr) {
      debug_->show();
    }
  });
  if (!found.Ok) {
    Hooks.FatalErrorBox(FromUtf8(found.FatalMessage));
    EndProgram(1);
    return false;
  }
  if (chooser_ != nullptr) {
    chooser_->SetStatusText(FromUtf8(found.StatusText));
  }
  if (logs_.DebugMode.load()) {
    // The user reads the whole identification trail before choosing.
    Hooks.ShowDebugModal();
  }
  if (!Hooks.ShowChooser() || !catalogue_.DeviceChosen) {
    EndProgram(0);
    return false;
  }
  diskName_ = vellumar::DriveCaption(catalogue_, catalogue_.SelectedDevice, logs_.Locale());
  lbDiskName->setText(FromUtf8(diskName_));
  const std::string failure = services_.OpenDevice(catalogue_.Selected());
  if (!failure.empty()) {
    Hooks.FatalErrorBox(QStringLiteral("Error opening device: ") + FromUtf8(failure));
    EndProgram(1);
    return false;
  }
  deviceOpen_ = true;
  // The node tells two drives of one model apart.
  StatusPanels[1]->setText(FromUtf8(catalogue_.Selected().DevicePath));
  StatusPanels[1]->setToolTip(FromUtf8(diskName_));
  services_.ShowDetailsReport(catalogue_.Selected(), logs_);
  vellumar::windows::DropQueuedInput();
  return true;
}

void TFmMain::StartUpFromEventLoop() { StartUp(); }

void TFmMain::EndProgram(int exitCode) {
  hide();
  Hooks.Terminate(exitCode);
}

void TFmMain::showEvent(QShowEvent* event) {
  QMainWindow::showEvent(event);
  if (!shownOnce_) {
    shownOnce_ = true;
    // Start-up runs from the event loop, once the window is on the screen.
    QMetaObject::invokeMethod(this, "StartUpFromEventLoop", Qt::QueuedConnection);
  }
}

void TFmMain::CloseOnRequest() {
  if (run_.Running() || isVisible()) {
    close();
  } else {
    EndProgram(0);
  }
}

}  // namespace vellumar::desktop

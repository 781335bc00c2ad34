#include <algorithm>

#include "devices/base/text_format.h"
#include "devices/reports/firmware_json.h"
#include "main/choose_device.h"
#include "main/fm_main.h"
#include "windows/window_texts.h"

// The main window's first showing (enumeration, the debug window, the chooser, opening the
// drive, the details report), drives that come and go, and the program's end; fm_main.cpp and
// fm_main_run.cpp hold the rest of the window.
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
  if (deviceOpen_) {
    return true;  // the window was shown after a caller had started it up already
  }
  // Stock is taken before the probe, so a drive attached meanwhile still counts as a change.
  WatchDrives();
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
  choosing_ = true;
  const bool chosen = Hooks.ShowChooser() && catalogue_.DeviceChosen;
  choosing_ = false;
  // The probe belongs to the catalogue the choice was made from; none may still be running.
  rescan_->Join();
  if (!chosen) {
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
  chosenDisk_.reset();
  if (watcher_ != nullptr) {
    const std::string& path = catalogue_.Selected().DevicePath;
    const std::string name = path.substr(path.rfind('/') + 1);
    for (const vellumar::PresentDisk& disk : watcher_->Disks()) {
      if (disk.Name == name) {
        chosenDisk_ = disk;
      }
    }
  }
  const vellumar::TDeviceTable drive = catalogue_.Selected();
  StartReport(
      [this, drive] {
        services_.ShowDetailsReport(drive, logs_);
        // The drive's firmware erase methods, asked on this thread too; the window gets them queued.
        const vellumar::FirmwareFacts facts = services_.ReadFirmwareFacts(drive);
        const std::vector<vellumar::MethodOffer> offers = vellumar::OfferFirmwareMethods(facts, false);
        if (facts.Path != vellumar::FirmwarePath::None) {
          logs_.DetailsLog("");
          logs_.DetailsLog("Firmware erase:");
          for (const std::string& line : vellumar::FirmwareLines(facts, offers)) {
            logs_.DetailsLog("  " + line);
          }
        }
        QMetaObject::invokeMethod(
            this, [this, offers] { ShowFirmwareOffers(offers); }, Qt::QueuedConnection);
      },
      logs_.Details);
  return true;
}

void TFmMain::WatchDrives() {
  vellumar::DriveWatch* watch = services_.Watch();
  if (watcher_ != nullptr || watch == nullptr) {
    return;
  }
  watcher_ = new DriveWatcher(*watch, this);
  connect(watcher_, &DriveWatcher::Changed, this, &TFmMain::DrivesChanged);
}

void TFmMain::DrivesChanged() {
  if (choosing_) {
    // Continue waits until the rows match the services' new probe again.
    if (chooser_ != nullptr) {
      chooser_->SetRefreshing(true);
    }
    rescan_->Request();
    return;
  }
  if (!chosenDisk_ || driveGone_ || run_.Running()) {
    // A run sees an unplugged drive itself and says so in the format log.
    return;
  }
  const std::vector<vellumar::PresentDisk>& disks = watcher_->Disks();
  driveGone_ = std::find(disks.begin(), disks.end(), *chosenDisk_) == disks.end();
  if (driveGone_) {
    // Another disk under the same name later is not the drive that was opened.
    StatusPanels[1]->setText(StatusPanels[1]->text() + QStringLiteral(" (gone)"));
    StatusPanels[1]->setToolTip(QStringLiteral("The drive was removed: ") + FromUtf8(diskName_));
  }
}

void TFmMain::ApplyProbe(const vellumar::DeviceCatalogue& fresh, const QString& statusText) {
  if (!choosing_) {
    return;
  }
  catalogue_ = fresh;
  if (chooser_ != nullptr) {
    chooser_->ReplaceDriveRows(CatalogueRows(catalogue_, logs_.Locale()));
    if (!statusText.isEmpty()) {
      chooser_->SetStatusText(statusText);
    }
    chooser_->SetRefreshing(rescan_->Busy());
  }
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
  if (Busy() || isVisible()) {
    close();
  } else {
    EndProgram(0);
  }
}

}  // namespace vellumar::desktop

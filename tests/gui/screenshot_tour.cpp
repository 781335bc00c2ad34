// Walks the desktop program through its windows on a demo drive and saves what they look like.
// Usage: vellumar_screenshot_tour DEMO-NODE OUTPUT-FOLDER [ATA-CAPTURE]
// ATA-CAPTURE names a captured drive (ATA-CAPTURE-identify.bin, ATA-CAPTURE-smart-data.bin): the
// details and S.M.A.R.T. pages then show what that drive answered, as on a real ATA disk.
// Only DEMO-NODE is ever written to: the confirmation is answered Yes for that node alone.
#include <QApplication>
#include <QDir>
#include <QMessageBox>
#include <QScreen>
#include <QTest>
#include <algorithm>
#include <clocale>
#include <cstdio>
#include <fstream>
#include <memory>

#include "devices/ata/ata_commands.h"
#include "devices/ata/ata_drive_state.h"
#include "devices/base/text_format.h"
#include "devices/reports/details_report.h"
#include "devices/reports/smart_report.h"
#include "main/choose_device.h"
#include "main/fm_main.h"
#include "main/linux_main_services.h"
#include "platform/linux/host/system_clock.h"
#include "platform/linux/host/user_files.h"
#include "platform/linux/host/user_locale.h"
#include "windows/fm_choose.h"
#include "windows/fm_debug.h"
#include "windows/fm_license_agreement.h"
#include "windows/task_dialog.h"
#include "windows/window_texts.h"

namespace {

// Answers IDENTIFY DEVICE and SMART READ DATA with captured sectors; other commands succeed.
class CapturedAta final : public vellumar::AtaPassThrough {
 public:
  CapturedAta(const vellumar::AtaSector& identify, const vellumar::AtaSector& smart)
      : identify_(identify), smart_(smart) {}
  bool NonDataCommand(vellumar::AtaRoute, std::uint8_t, const vellumar::AtaRegisters&) override { return true; }
  bool PioDataIn(vellumar::AtaRoute, std::uint8_t, const vellumar::AtaRegisters& registers,
                 std::span<std::uint8_t, vellumar::kAtaSectorBytes> destination) override {
    const bool identify = registers.Command == vellumar::kAtaCommandIdentifyDevice;
    if (!identify && registers.Features != vellumar::kSmartFeatureReadData) {
      return false;
    }
    std::copy_n((identify ? identify_ : smart_).begin(), vellumar::kAtaSectorBytes, destination.begin());
    return true;
  }

 private:
  vellumar::AtaSector identify_;
  vellumar::AtaSector smart_;
};

// The real services, except that the two reports read the captured drive.
class CapturedReports final : public vellumar::desktop::MainServices {
 public:
  CapturedReports(vellumar::desktop::MainServices& real, const vellumar::AtaSector& identify,
                  const vellumar::AtaSector& smart)
      : real_(real), ata_(identify, smart) {}
  vellumar::EnumerationResult EnumerateDevices(vellumar::DeviceCatalogue& catalogue, vellumar::LogSinks& logs,
                                               const std::function<void()>& onDebugModeActivated) override {
    return real_.EnumerateDevices(catalogue, logs, onDebugModeActivated);
  }
  std::string OpenDevice(const vellumar::TDeviceTable& drive) override { return real_.OpenDevice(drive); }
  void CloseDevice() override { real_.CloseDevice(); }
  void ShowDetailsReport(const vellumar::TDeviceTable& drive, vellumar::LogSinks& logs) override {
    vellumar::RunDetailsReport(drive, vellumar::DriveCaption(drive, logs.Locale()), &ata_, logs, state_);
  }
  void ShowSmartReport(const vellumar::TDeviceTable& drive, vellumar::LogSinks& logs) override {
    vellumar::RunSmartReport(drive, vellumar::DriveCaption(drive, logs.Locale()), &ata_, logs, state_);
  }
  vellumar::ops::ErasureParts MakeRunParts(const vellumar::TDeviceTable& drive, vellumar::LogSinks& logs) override {
    return real_.MakeRunParts(drive, logs);
  }
  std::string SaveCertificate(const vellumar::ErasureCertificate& certificate, const std::string& pdfPath,
                              std::string& error) override {
    return real_.SaveCertificate(certificate, pdfPath, error);
  }

 private:
  vellumar::desktop::MainServices& real_;
  CapturedAta ata_;
  vellumar::AtaDriveState state_;
};

bool ReadSector(const std::string& path, vellumar::AtaSector& sector) {
  std::ifstream file(path, std::ios::binary);
  file.read(reinterpret_cast<char*>(sector.data()), static_cast<std::streamsize>(sector.size()));
  return file.gcount() == static_cast<std::streamsize>(sector.size());
}

bool Save(QWidget& widget, const QString& folder, const QString& name) {
  QTest::qWait(300);
  const QString path = QDir(folder).filePath(name);
  const bool saved = widget.grab().save(path, "PNG");
  std::fprintf(stderr, "%s %s\n", saved ? "saved" : "could not save", qPrintable(path));
  return saved;
}

void Centre(QWidget& window) {
  QRect frame = window.frameGeometry();
  frame.moveCenter(window.screen()->availableGeometry().center());
  window.move(frame.topLeft());
}

}  // namespace

int main(int argc, char** argv) {
  const vellumar::LocaleSettings locale = vellumar::platform::ReadUserLocale();
  QApplication app(argc, argv);
  std::setlocale(LC_NUMERIC, "C");
  if (argc != 3 && argc != 4) {
    std::fprintf(stderr, "usage: %s DEMO-NODE OUTPUT-FOLDER [ATA-CAPTURE]\n", argv[0]);
    return 2;
  }
  const std::string demo = argv[1];
  const QString folder = QString::fromLocal8Bit(argv[2]);
  QDir().mkpath(folder);

  vellumar::platform::SystemClock clock;
  vellumar::LogSinks logs(clock, locale);
  vellumar::DeviceCatalogue catalogue;
  const auto linuxServices = vellumar::desktop::MakeLinuxMainServices({});
  std::unique_ptr<vellumar::desktop::MainServices> captured;
  if (argc == 4) {
    vellumar::AtaSector identify{};
    vellumar::AtaSector smart{};
    const std::string capture = argv[3];
    if (!ReadSector(capture + "-identify.bin", identify) || !ReadSector(capture + "-smart-data.bin", smart)) {
      std::fprintf(stderr, "cannot read the captured sectors %s-*.bin\n", capture.c_str());
      return 2;
    }
    captured = std::make_unique<CapturedReports>(*linuxServices, identify, smart);
  }
  vellumar::desktop::MainServices& services = captured ? *captured : *linuxServices;
  vellumar::desktop::TFmMain fmMain(logs, catalogue, services);
  vellumar::windows::TFmChoose fmChoose(catalogue);
  vellumar::windows::TFmDebug fmDebug;
  fmMain.SetWindows(&fmChoose, &fmDebug);
  int failures = 0;

  vellumar::platform::UserFiles files;
  vellumar::windows::TfmLicenseAgreement agreement("", files);
  agreement.show();
  Centre(agreement);
  failures += Save(agreement, folder, "agreement.png") ? 0 : 1;
  agreement.hide();

  // The chooser is shown without its modal loop so it can be photographed, then the demo row is taken.
  fmMain.Hooks.ShowChooser = [&] {
    int demoRow = -1;
    for (std::int64_t slot = 1; slot <= catalogue.DeviceCount; ++slot) {
      fmChoose.AddDriveRow(vellumar::desktop::DriveRowTexts(catalogue.DeviceTable(slot), logs.Locale()));
      if (catalogue.DeviceTable(slot).DevicePath == demo) {
        demoRow = static_cast<int>(slot - 1);
      }
    }
    fmChoose.show();
    Centre(fmChoose);
    if (demoRow < 0) {
      std::fprintf(stderr, "the demo drive %s is not in the catalogue\n", demo.c_str());
      return false;
    }
    fmChoose.DriveList->setCurrentItem(fmChoose.DriveList->topLevelItem(demoRow));
    failures += Save(fmChoose, folder, "chooser.png") ? 0 : 1;
    fmChoose.btContinue->click();
    return catalogue.DeviceChosen;
  };
  fmMain.Hooks.Confirm = [&](const vellumar::ConfirmationRequest& request) {
    const auto box = vellumar::windows::BuildTaskMessageBox(
        &fmMain, vellumar::windows::FromUtf8(request.Title), vellumar::windows::FromUtf8(request.MainInstruction),
        vellumar::windows::FromUtf8(request.Content), request.Icon, request.Buttons);
    box->show();
    failures += Save(*box, folder, "confirmation.png") ? 0 : 1;
    box->hide();
    return catalogue.DeviceChosen && catalogue.Selected().DevicePath == demo ? vellumar::kDialogYes
                                                                             : vellumar::kDialogCancel;
  };
  bool ended = false;
  fmMain.Hooks.Terminate = [&](int) { ended = true; };

  fmMain.show();
  Centre(fmMain);
  if (!QTest::qWaitFor([&] { return ended || (!fmMain.lbDiskName->text().isEmpty() && !fmMain.ReportRunning()); },
                       60'000) ||
      ended) {
    std::fprintf(stderr, "start-up did not reach the main window\n");
    return 1;
  }
  fmMain.pages->setCurrentIndex(0);
  failures += Save(fmMain, folder, "details.png") ? 0 : 1;

  fmMain.pages->setCurrentIndex(1);
  // A sampled check, so the end of the run shows the check's outcome too.
  fmMain.cbVerify->setCurrentIndex(1);
  fmMain.btRunBenchmarks->click();
  if (!QTest::qWaitFor([&] { return !fmMain.RunInProgress() && fmMain.btRunBenchmarks->isEnabled(); }, 600'000)) {
    std::fprintf(stderr, "the format run did not end\n");
    ++failures;
  }
  failures += Save(fmMain, folder, "format.png") ? 0 : 1;

  fmMain.pages->setCurrentIndex(2);
  fmMain.btGetSmart->click();
  if (!QTest::qWaitFor([&] { return !fmMain.ReportRunning(); }, 60'000)) {
    std::fprintf(stderr, "the S.M.A.R.T. report did not end\n");
    ++failures;
  }
  failures += Save(fmMain, folder, "smart.png") ? 0 : 1;

  fmMain.close();
  return failures == 0 ? 0 : 1;
}

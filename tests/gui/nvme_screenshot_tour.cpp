// Shows the details and S.M.A.R.T. pages of an NVMe drive and saves what they look like. The
// controller is played from pages captured on an emulated NVMe disk, so no drive is touched.
// Usage: vellumar_nvme_screenshot_tour PAGES-FOLDER OUTPUT-FOLDER
#include <QApplication>
#include <QDir>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTest>
#include <algorithm>
#include <clocale>
#include <cstdio>
#include <fstream>
#include <iterator>

#include "devices/base/text_format.h"
#include "devices/reports/nvme_report.h"
#include "main/fm_main.h"
#include "platform/linux/host/system_clock.h"
#include "platform/linux/host/user_locale.h"
#include "windows/fm_choose.h"
#include "windows/fm_debug.h"

namespace {

std::vector<std::uint8_t> ReadPage(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

// Answers the three admin commands with the captured pages.
class CapturedController final : public vellumar::NvmeAdminChannel {
 public:
  explicit CapturedController(const std::string& folder)
      : controller_(ReadPage(folder + "/qemu-nvme-identify-controller.bin")),
        namespace_(ReadPage(folder + "/qemu-nvme-identify-namespace.bin")),
        health_(ReadPage(folder + "/qemu-nvme-smart-log.bin")) {}

  bool Complete() const {
    return controller_.size() == vellumar::kNvmeIdentifyBytes && namespace_.size() == vellumar::kNvmeIdentifyBytes &&
           health_.size() == vellumar::kNvmeHealthLogBytes;
  }
  std::optional<std::uint32_t> NamespaceId() override { return 1; }
  vellumar::NvmeAdminResult Execute(const vellumar::NvmeAdminCommand& command, std::span<std::uint8_t> data) override {
    const std::vector<std::uint8_t>& page = command.Opcode == vellumar::kNvmeAdminGetLogPage ? health_
                                            : command.Cdw10 == vellumar::kNvmeCnsController  ? controller_
                                                                                             : namespace_;
    std::copy_n(page.begin(), std::min(page.size(), data.size()), data.begin());
    // Get Features: the write cache is on.
    return {vellumar::NvmeAdminOutcome::Completed, 0, 1, data.size()};
  }

 private:
  std::vector<std::uint8_t> controller_;
  std::vector<std::uint8_t> namespace_;
  std::vector<std::uint8_t> health_;
};

// One NVMe drive in the catalogue; its reports come from the captured controller.
class CapturedNvmeServices final : public vellumar::desktop::MainServices {
 public:
  explicit CapturedNvmeServices(CapturedController& controller) : controller_(controller) {}

  vellumar::EnumerationResult EnumerateDevices(vellumar::DeviceCatalogue& catalogue, vellumar::LogSinks& /*logs*/,
                                               const std::function<void()>& /*onDebugModeActivated*/) override {
    vellumar::TDeviceTable drive;
    drive.DevicePath = "/dev/nvme0n1";
    drive.IdentifyData = {" QEMU NVMe Ctrl", "7.2.22", "RIGNV0004", 131072, 512, vellumar::kBusNvme, 250, false, 0};
    catalogue.Append(drive);
    vellumar::EnumerationResult result;
    result.Ok = true;
    result.StatusText = "Disks found: 1";
    return result;
  }
  std::string OpenDevice(const vellumar::TDeviceTable& /*drive*/) override { return {}; }
  void CloseDevice() override {}
  void ShowDetailsReport(const vellumar::TDeviceTable& drive, vellumar::LogSinks& logs) override {
    vellumar::RunNvmeDetailsReport(vellumar::DriveCaption(drive, logs.Locale()), controller_, logs);
  }
  void ShowSmartReport(const vellumar::TDeviceTable& drive, vellumar::LogSinks& logs) override {
    vellumar::RunNvmeSmartReport(vellumar::DriveCaption(drive, logs.Locale()), controller_, logs);
  }
  vellumar::ops::ErasureParts MakeRunParts(const vellumar::TDeviceTable& /*drive*/,
                                           vellumar::LogSinks& /*logs*/) override {
    return {};  // the tour never starts a run
  }
  std::string SaveCertificate(const vellumar::ErasureCertificate& /*certificate*/, const std::string& /*pdfPath*/,
                              std::string& error) override {
    error = "the tour saves no reports";
    return {};
  }

 private:
  CapturedController& controller_;
};

bool Save(QWidget& widget, const QString& folder, const QString& name) {
  QTest::qWait(300);
  const QString path = QDir(folder).filePath(name);
  const bool saved = widget.grab().save(path, "PNG");
  std::fprintf(stderr, "%s %s\n", saved ? "saved" : "could not save", qPrintable(path));
  return saved;
}

}  // namespace

int main(int argc, char** argv) {
  const vellumar::LocaleSettings locale = vellumar::platform::ReadUserLocale();
  QApplication app(argc, argv);
  std::setlocale(LC_NUMERIC, "C");
  if (argc != 3) {
    std::fprintf(stderr, "usage: %s PAGES-FOLDER OUTPUT-FOLDER\n", argv[0]);
    return 2;
  }
  CapturedController controller(argv[1]);
  if (!controller.Complete()) {
    std::fprintf(stderr, "the captured NVMe pages are not in %s\n", argv[1]);
    return 2;
  }
  const QString folder = QString::fromLocal8Bit(argv[2]);
  QDir().mkpath(folder);

  vellumar::platform::SystemClock clock;
  vellumar::LogSinks logs(clock, locale);
  vellumar::DeviceCatalogue catalogue;
  CapturedNvmeServices services(controller);
  vellumar::desktop::TFmMain fmMain(logs, catalogue, services);
  vellumar::windows::TFmChoose fmChoose(catalogue);
  vellumar::windows::TFmDebug fmDebug;
  fmMain.SetWindows(&fmChoose, &fmDebug);
  fmMain.Hooks.ShowChooser = [&] {
    catalogue.Choose(0);
    return true;
  };
  bool ended = false;
  fmMain.Hooks.Terminate = [&](int) { ended = true; };

  fmMain.show();
  if (!QTest::qWaitFor([&] { return ended || (!fmMain.lbDiskName->text().isEmpty() && !fmMain.ReportRunning()); },
                       60'000) ||
      ended) {
    std::fprintf(stderr, "start-up did not reach the main window\n");
    return 1;
  }
  int failures = 0;
  fmMain.pages->setCurrentIndex(0);
  // From the model line on, where the NVMe facts start.
  fmMain.Log_Details->verticalScrollBar()->setValue(4);
  failures += Save(fmMain, folder, "nvme-details.png") ? 0 : 1;
  fmMain.pages->setCurrentIndex(2);
  fmMain.btGetSmart->click();
  if (!QTest::qWaitFor([&] { return !fmMain.ReportRunning(); }, 60'000)) {
    std::fprintf(stderr, "the S.M.A.R.T. report did not end\n");
    ++failures;
  }
  failures += Save(fmMain, folder, "nvme-smart.png") ? 0 : 1;
  fmMain.close();
  return failures == 0 ? 0 : 1;
}

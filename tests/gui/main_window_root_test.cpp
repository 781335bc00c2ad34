#include <gtest/gtest.h>

#include <QTest>

#include "devices/base/units.h"
#include "devices/catalogue/enumeration.h"
#include "main/fm_main.h"
#include "main/linux_main_services.h"
#include "platform/linux/host/system_clock.h"
#include "support/loop_device.h"
#include "support/root_env.h"
#include "support/shell.h"

namespace vellumar {
namespace {

using desktop::MainServices;
using desktop::TFmMain;

// The real Linux services; notes whether a run was still going when the window closed the drive.
class TrackingServices final : public MainServices {
 public:
  TrackingServices() : linux_(desktop::MakeLinuxMainServices({})) {}

  EnumerationResult EnumerateDevices(DeviceCatalogue& catalogue, LogSinks& logs,
                                     const std::function<void()>& onDebugModeActivated) override {
    return linux_->EnumerateDevices(catalogue, logs, onDebugModeActivated);
  }
  std::string OpenDevice(const TDeviceTable& drive) override { return linux_->OpenDevice(drive); }
  void CloseDevice() override {
    ClosedDuringRun = Window != nullptr && Window->RunInProgress();
    ++Closes;
    linux_->CloseDevice();
  }
  void ShowDetailsReport(const TDeviceTable& drive, LogSinks& logs) override { linux_->ShowDetailsReport(drive, logs); }
  void ShowSmartReport(const TDeviceTable& drive, LogSinks& logs) override { linux_->ShowSmartReport(drive, logs); }
  ops::ErasureParts MakeRunParts(const TDeviceTable& drive, LogSinks& logs) override {
    return linux_->MakeRunParts(drive, logs);
  }
  std::string SaveCertificate(const ErasureCertificate& certificate, const std::string& pdfPath,
                              std::string& error) override {
    return linux_->SaveCertificate(certificate, pdfPath, error);
  }

  TFmMain* Window = nullptr;
  bool ClosedDuringRun = false;
  int Closes = 0;

 private:
  std::unique_ptr<MainServices> linux_;
};

bool LogHasLineStartingWith(const QPlainTextEdit* memo, const QString& text) {
  for (const QString& line : memo->toPlainText().split('\n')) {
    const qsizetype cut = line.indexOf("   ");
    if (cut >= 0 && line.mid(cut + 3).startsWith(text)) {
      return true;
    }
  }
  return false;
}

class MainWindowRootTest : public ::testing::Test {
 protected:
  void MakeDrive(std::int64_t size, const std::string& losetupOptions = "") {
    loop = std::make_unique<testing::LoopDevice>(size, losetupOptions);
    ASSERT_TRUE(loop->Ok()) << loop->Error();
  }
  std::string Node() const { return loop ? loop->Node() : partitioned->Node(); }
  std::string Image() const { return loop ? loop->Image() : partitioned->Image(); }

  // Start-up with the real probe; the chooser takes the test's own drive and nothing else.
  void Start() {
    services = std::make_unique<TrackingServices>();
    window = std::make_unique<TFmMain>(logs, catalogue, *services);
    services->Window = window.get();
    window->Hooks.Confirm = [](const ConfirmationRequest&) { return kDialogYes; };
    window->Hooks.ShowChooser = [this] {
      for (std::int64_t slot = 1; slot <= catalogue.DeviceCount; ++slot) {
        if (catalogue.DeviceTable(slot).DevicePath == Node()) {
          catalogue.Choose(slot - 1);
          return true;
        }
      }
      ADD_FAILURE() << Node() << " is not in the catalogue";
      return false;
    };
    window->Hooks.FatalErrorBox = [](const QString& text) { ADD_FAILURE() << text.toStdString(); };
    window->Hooks.Terminate = [](int code) { ADD_FAILURE() << "terminated with " << code; };
    ASSERT_TRUE(window->StartUp());
    ASSERT_EQ(catalogue.Selected().DevicePath, Node());
    ASSERT_TRUE(QTest::qWaitFor([this] { return !window->ReportRunning(); }, 30'000));
  }

  void WaitForTheRun() {
    ASSERT_TRUE(
        QTest::qWaitFor([this] { return !window->RunInProgress() && window->btRunBenchmarks->isEnabled(); }, 60'000));
  }

  void TearDown() override {
    // The window goes before the loop device, so the drive is closed before it is detached.
    window.reset();
    services.reset();
    loop.reset();
    partitioned.reset();
  }

  platform::SystemClock clock;
  LogSinks logs{clock, LocaleSettings{}};
  DeviceCatalogue catalogue;
  std::unique_ptr<testing::LoopDevice> loop;
  std::unique_ptr<testing::PartitionedLoop> partitioned;
  std::unique_ptr<TrackingServices> services;
  std::unique_ptr<TFmMain> window;
};

TEST_F(MainWindowRootTest, AWholeRunThroughTheWindowZeroesTheLoopDrive) {
  VELLUMAR_REQUIRE_ROOT();
  MakeDrive(64 * kMiB);
  Start();
  EXPECT_TRUE(window->Log_Details->toPlainText().contains("Details are unavailable for this device."))
      << window->Log_Details->toPlainText().toStdString();
  QTest::mouseClick(window->btRunBenchmarks, Qt::LeftButton);
  WaitForTheRun();
  EXPECT_TRUE(LogHasLineStartingWith(window->Log_BenchMark, "Low-level format is complete."))
      << window->Log_BenchMark->toPlainText().toStdString();
  EXPECT_TRUE(window->Log_BenchMark->toPlainText().endsWith("   Remember to create new partitions."));
  EXPECT_EQ(window->pbCurrentTask->value(), 100);
  EXPECT_TRUE(window->BarPaused());
  EXPECT_EQ(testing::NonZeroBytes(Image()), 0);
}

TEST_F(MainWindowRootTest, StopInTheMiddleLeavesTheRestAndPausesTheBar) {
  VELLUMAR_REQUIRE_ROOT();
  MakeDrive(384 * kMiB);
  Start();
  QTest::mouseClick(window->btRunBenchmarks, Qt::LeftButton);
  ASSERT_TRUE(QTest::qWaitFor([this] { return window->btStop->isEnabled(); }, 10'000));
  EXPECT_TRUE(window->btStop->hasFocus() || !window->isActiveWindow());
  QTest::mouseClick(window->btStop, Qt::LeftButton);
  WaitForTheRun();
  const QString log = window->Log_BenchMark->toPlainText();
  ASSERT_TRUE(LogHasLineStartingWith(window->Log_BenchMark, "Operation cancelled at offset ")) << log.toStdString();
  EXPECT_LT(log.indexOf("Operation cancelled at offset "), log.indexOf("Remember to create new partitions."));
  EXPECT_TRUE(window->BarPaused());
  EXPECT_LT(window->pbCurrentTask->value(), 100);
  EXPECT_FALSE(window->btStop->isEnabled());
  EXPECT_GT(testing::NonZeroBytes(Image()), 0);
}

TEST_F(MainWindowRootTest, ACloseRequestDuringARunWaitsForTheWorker) {
  VELLUMAR_REQUIRE_ROOT();
  MakeDrive(384 * kMiB);
  Start();
  window->show();
  QTest::mouseClick(window->btRunBenchmarks, Qt::LeftButton);
  ASSERT_TRUE(QTest::qWaitFor([this] { return window->btStop->isEnabled(); }, 10'000));
  window->close();
  EXPECT_TRUE(window->isVisible() || !window->RunInProgress());
  ASSERT_TRUE(QTest::qWaitFor([this] { return !window->isVisible(); }, 60'000));
  EXPECT_EQ(services->Closes, 1);
  EXPECT_FALSE(services->ClosedDuringRun);
  EXPECT_TRUE(LogHasLineStartingWith(window->Log_BenchMark, "Operation cancelled at offset "));
}

TEST_F(MainWindowRootTest, ADiskWithAMountedFileSystemShowsItsDetailsAndFormats) {
  VELLUMAR_REQUIRE_ROOT();
  // One partition with an ext4 file system, or the file system on the whole disk.
  partitioned = std::make_unique<testing::PartitionedLoop>(64 * kMiB, "label: dos\\n,,L\\n");
  ASSERT_TRUE(partitioned->Ok()) << partitioned->Error();
  const std::string volume = partitioned->Partitioned() ? partitioned->Partition(1) : partitioned->Node();
  ASSERT_EQ(testing::Shell("mkfs.ext4 -q -F " + testing::Quote(volume)).ExitCode, 0);
  testing::MountGuard mount(volume);
  ASSERT_TRUE(mount.Ok());
  // The drive opens shared while its file system is mounted, so the details page still works.
  Start();
  EXPECT_TRUE(window->Log_Details->toPlainText().contains("Details are unavailable for this device."));
  EXPECT_NE(window->DiskName().find("Storage Device"), std::string::npos) << window->DiskName();

  QTest::mouseClick(window->btRunBenchmarks, Qt::LeftButton);
  WaitForTheRun();
  EXPECT_TRUE(LogHasLineStartingWith(window->Log_BenchMark, "Low-level format is complete."))
      << window->Log_BenchMark->toPlainText().toStdString();
  EXPECT_NE(testing::Shell("mountpoint -q " + testing::Quote(mount.Point())).ExitCode, 0);
  EXPECT_EQ(testing::NonZeroBytes(Image()), 0);
}

}  // namespace
}  // namespace vellumar

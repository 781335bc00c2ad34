#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QTest>
#include <memory>

#include "devices/base/units.h"
#include "main/choose_device.h"
#include "main/fm_main.h"
#include "main/linux_main_services.h"
#include "platform/linux/host/system_clock.h"
#include "support/loop_device.h"
#include "support/root_env.h"
#include "windows/fm_choose.h"

namespace vellumar {
namespace {

bool Listed(const windows::TFmChoose& chooser, const std::string& node) {
  for (int row = 0; row < chooser.DriveList->topLevelItemCount(); ++row) {
    if (chooser.DriveList->topLevelItem(row)->text(1) == QString::fromStdString(node)) {
      return true;
    }
  }
  return false;
}

// A loop device attached while the chooser is open shows up in its list, with the real probe
// and the real watch (udev where it runs, the look at /sys/block everywhere).
TEST(HotPlugRootTest, ALoopDeviceAttachedWhileTheChooserIsOpenAppearsWithinThreeSeconds) {
  VELLUMAR_REQUIRE_ROOT();
  // Declared first, so it is detached after the window has let go of every drive.
  std::unique_ptr<testing::LoopDevice> loop;
  platform::SystemClock clock;
  LogSinks logs{clock, LocaleSettings{}};
  DeviceCatalogue catalogue;
  const std::unique_ptr<desktop::MainServices> services = desktop::MakeLinuxMainServices({});
  desktop::TFmMain window(logs, catalogue, *services);
  windows::TFmChoose chooser(catalogue);
  window.SetWindows(&chooser, nullptr);
  window.Hooks.Terminate = [](int) {};
  qint64 appearedAfter = -1;
  window.Hooks.ShowChooser = [&] {
    for (const QStringList& row : desktop::CatalogueRows(catalogue, logs.Locale())) {
      chooser.AddDriveRow(row);
    }
    chooser.show();
    QTest::qWait(200);
    loop = std::make_unique<testing::LoopDevice>(64 * kMiB);
    QElapsedTimer since;
    since.start();
    if (loop->Ok() && QTest::qWaitFor([&] { return Listed(chooser, loop->Node()); }, 10'000)) {
      appearedAfter = since.elapsed();
    }
    return false;
  };
  EXPECT_FALSE(window.StartUp());
  ASSERT_TRUE(loop && loop->Ok()) << (loop ? loop->Error() : "start-up ended before the chooser");
  ASSERT_GE(appearedAfter, 0) << loop->Node() << " never appeared in the chooser";
  EXPECT_LE(appearedAfter, 3'000) << loop->Node();
}

}  // namespace
}  // namespace vellumar

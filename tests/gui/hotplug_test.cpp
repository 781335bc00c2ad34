#include <gtest/gtest.h>

#include <QTest>
#include <filesystem>
#include <fstream>

#include "gui/fake_drive_watch.h"
#include "gui/main_window_fixture.h"
#include "main/choose_device.h"
#include "platform/linux/hotplug/udev_drive_watch.h"
#include "unit/sysfs_fake_tree.h"

// Drives that come and go: the chooser's list follows them, the main window says when the chosen
// one is gone, and the look at sysfs notices a loop device by its size.
namespace vellumar {
namespace {

struct HotPlugTest : testing::MainWindowTest {
  testing::FakeDriveWatch watch{{{"sda", 1'000'000}, {"sdb", 70'000}}};
  windows::TFmChoose chooser{catalogue};

  void SetUp() override {
    MainWindowTest::SetUp();
    services.WatchSource = &watch;
  }
  QStringList Nodes() const {
    QStringList nodes;
    for (int row = 0; row < chooser.DriveList->topLevelItemCount(); ++row) {
      nodes << chooser.DriveList->topLevelItem(row)->text(1);
    }
    return nodes;
  }
};

TEST_F(HotPlugTest, TheChooserFollowsDrivesAndKeepsOnlyAChoiceThatStayed) {
  window.SetWindows(&chooser, nullptr);
  window.Hooks.ShowChooser = [this] {
    for (const QStringList& row : desktop::CatalogueRows(catalogue, logs.Locale())) {
      chooser.AddDriveRow(row);
    }
    chooser.show();  // the last row, /dev/sdb, is chosen
    services.Drives.push_back(testing::MakeDrive("/dev/sdc", 90'000, 2));
    watch.Announce({{"sda", 1'000'000}, {"sdb", 70'000}, {"sdc", 90'000}});
    EXPECT_TRUE(QTest::qWaitFor([this] { return Nodes().size() == 3; }, 5'000));
    EXPECT_EQ(chooser.StatusText(), "Disks found: 3");
    EXPECT_TRUE(chooser.DriveList->topLevelItem(1)->isSelected() && chooser.btContinue->isEnabled());

    services.Drives.erase(services.Drives.begin() + 1);
    watch.Announce({{"sda", 1'000'000}, {"sdc", 90'000}});
    EXPECT_TRUE(QTest::qWaitFor([this] { return Nodes() == QStringList{"/dev/sda", "/dev/sdc"}; }, 5'000));
    // The chosen drive went: nothing is chosen, so Enter cannot take another one.
    EXPECT_TRUE(chooser.DriveList->selectedItems().isEmpty());
    EXPECT_FALSE(chooser.btContinue->isEnabled());
    return false;
  };
  EXPECT_FALSE(window.StartUp());
}

TEST_F(HotPlugTest, TheMainWindowSaysWhenTheChosenDriveIsGone) {
  ASSERT_TRUE(Start());
  watch.Announce({{"sda", 1'000'000}, {"sdb", 70'000}});
  QTest::qWait(50);
  EXPECT_FALSE(window.DriveGone());
  watch.Announce({{"sda", 1'000'000}, {"sdb", 12'345}});  // the same name, another medium
  ASSERT_TRUE(QTest::qWaitFor([this] { return window.DriveGone(); }, 5'000));
  EXPECT_EQ(window.StatusPanels[1]->text(), "/dev/sdb (gone)");
}

TEST(DriveWatch, TheSysfsLookSeesNewDisksAndNewSizesOfCandidatesOnly) {
  testing::FakeSysfsTree tree;
  const auto size = [&tree](const std::string& name, const char* sectors) {
    std::ofstream(tree.Sys() + "/block/" + name + "/size") << sectors << "\n";
  };
  tree.AddDisk("sda", "pci0000:00/ata1/host0/target0:0:0/0:0:0:0", "8:0");
  size("sda", "1000000");
  tree.AddDisk("loop0", "virtual", "7:0");
  size("loop0", "0");  // a loop device with nothing attached
  tree.AddDisk("ram0", "virtual", "1:0");
  platform::UdevDriveWatch watch(tree.Sys(), false);
  std::vector<PresentDisk> disks;
  EXPECT_FALSE(watch.Poll(disks));  // the first look takes stock
  EXPECT_EQ(disks, (std::vector<PresentDisk>{{"sda", 1'000'000}, {"loop0", 0}}));
  EXPECT_FALSE(watch.Poll(disks));
  size("loop0", "131072");
  EXPECT_TRUE(watch.Poll(disks));
  tree.AddDisk("dm-0", "virtual", "254:0");
  EXPECT_FALSE(watch.Poll(disks));
  tree.AddDisk("sdb", "pci0000:00/ata2/host1/target1:0:0/1:0:0:0", "8:16");
  EXPECT_TRUE(watch.Poll(disks));
  std::filesystem::remove(tree.Sys() + "/block/sdb");
  EXPECT_TRUE(watch.Poll(disks));
  EXPECT_EQ(disks.back(), (PresentDisk{"loop0", 131'072}));
}

}  // namespace
}  // namespace vellumar

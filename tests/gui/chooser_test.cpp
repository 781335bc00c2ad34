#include <gtest/gtest.h>

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include "devices/base/drive_record.h"
#include "gui/fake_main_services.h"
#include "gui/print_qt.h"
#include "main/choose_device.h"
#include "windows/fm_choose.h"
#include "windows/window_texts.h"

namespace vellumar {
namespace {

using testing::FakeLauncher;
using testing::MakeDrive;
using windows::TFmChoose;

struct Message {
  QString Text;
  QString Caption;
};

class ChooserTest : public ::testing::Test {
 protected:
  void Fill(const std::vector<std::int64_t>& sectorCounts) {
    for (std::size_t i = 0; i < sectorCounts.size(); ++i) {
      const TDeviceTable drive = MakeDrive("/dev/sd" + std::string(1, static_cast<char>('a' + i)), sectorCounts[i],
                                           static_cast<std::uint32_t>(i));
      catalogue.Append(drive);
      chooser.AddDriveRow(desktop::DriveRowTexts(drive, LocaleSettings{}));
    }
  }

  void Show() {
    chooser.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&chooser));
  }

  QPoint RowCentre(int row) { return chooser.DriveList->visualItemRect(chooser.DriveList->topLevelItem(row)).center(); }

  DeviceCatalogue catalogue;
  TFmChoose chooser{catalogue};
  std::vector<Message> messages;

  void SetUp() override {
    chooser.InformationBox = [this](const QString& text, const QString& caption) {
      messages.push_back({text, caption});
    };
  }
};

TEST_F(ChooserTest, RowsShowBusNodeModelWithVolumesAndCapacity) {
  TDeviceTable drive = MakeDrive("/dev/sdb", 1'000'215'216, 1);
  drive.AssociatedPartitions = "/dev/sdb1 /dev/sdb2";
  const QStringList row = desktop::DriveRowTexts(drive, LocaleSettings{});
  EXPECT_EQ(row.join('|').toStdString(), "SATA|/dev/sdb|TEST DISK (/dev/sdb1 /dev/sdb2)|1.0|SN1|1000215216|512.11 GB");
  EXPECT_EQ(chooser.DriveList->columnCount(), 7);
  EXPECT_EQ(chooser.DriveList->headerItem()->text(1), QStringLiteral("장치"));
}

TEST_F(ChooserTest, LastRowIsPreselectedAndContinueChoosesIt) {
  Fill({70'000, 80'000, 90'000});
  EXPECT_FALSE(chooser.btContinue->isEnabled());
  Show();
  EXPECT_TRUE(chooser.btContinue->isEnabled());
  EXPECT_EQ(chooser.DriveList->currentItem(), chooser.DriveList->topLevelItem(2));
  EXPECT_TRUE(chooser.DriveList->topLevelItem(2)->isSelected());
  EXPECT_TRUE(chooser.DriveList->hasFocus());

  QTest::keyClick(chooser.DriveList, Qt::Key_Return);
  EXPECT_FALSE(chooser.isVisible());
  EXPECT_TRUE(catalogue.DeviceChosen);
  EXPECT_EQ(catalogue.SelectedDevice, 3);
}

// The model column has the design's room and every cell says its whole text in a tooltip, so a
// long list of volumes can still be read; the node column fits its text.
TEST_F(ChooserTest, TheModelColumnIsWideAndEveryCellHasItsWholeTextAsTooltip) {
  TDeviceTable drive = MakeDrive("/dev/sdb", 1'000'215'216, 1);
  drive.AssociatedPartitions = "/dev/sdb1 /dev/sdb2 /dev/sdb3 /dev/sdb4 /dev/sdb5";
  catalogue.Append(drive);
  const QStringList row = desktop::DriveRowTexts(drive, LocaleSettings{});
  chooser.AddDriveRow(row);
  Show();
  EXPECT_GE(chooser.DriveList->columnWidth(2), 220);
  EXPECT_GE(chooser.DriveList->columnWidth(1), chooser.fontMetrics().horizontalAdvance(row[1]));
  for (int column = 0; column < row.size(); ++column) {
    EXPECT_EQ(chooser.DriveList->topLevelItem(0)->toolTip(column), row[column]);
  }
}

// The running system's disk is never preselected: the last other drive is, or none.
TEST_F(ChooserTest, NoRowOfTheRunningSystemIsPreselected) {
  Fill({70'000, 80'000, 90'000});
  catalogue.DeviceTable(3).SystemVolume = "/ on /dev/sdc2";
  Show();
  EXPECT_EQ(chooser.DriveList->selectedItems(), QList<QTreeWidgetItem*>{chooser.DriveList->topLevelItem(1)});
  chooser.hide();
  catalogue.DeviceTable(2).SystemVolume = catalogue.DeviceTable(1).SystemVolume = "/usr on /dev/sdb1";
  chooser.DriveList->clearSelection();
  Show();
  EXPECT_TRUE(chooser.DriveList->selectedItems().isEmpty());
  EXPECT_FALSE(chooser.btContinue->isEnabled());
}

TEST_F(ChooserTest, RefusesDrivesBelow65535SectorsAndStaysOpen) {
  Fill({65'534, 65'535});
  Show();
  QTest::mouseClick(chooser.DriveList->viewport(), Qt::LeftButton, {}, RowCentre(0));
  QTest::mouseClick(chooser.btContinue, Qt::LeftButton);
  ASSERT_EQ(messages.size(), 1U);
  EXPECT_EQ(messages[0].Text, "This device cannot be accessed because it is smaller than 65535 sectors.  ");
  EXPECT_EQ(messages[0].Caption, "Cannot access this device");
  EXPECT_TRUE(chooser.isVisible());
  EXPECT_FALSE(catalogue.DeviceChosen);

  // Exactly 65535 sectors is enough.
  QTest::mouseClick(chooser.DriveList->viewport(), Qt::LeftButton, {}, RowCentre(1));
  QTest::mouseClick(chooser.btContinue, Qt::LeftButton);
  EXPECT_EQ(messages.size(), 1U);
  EXPECT_TRUE(catalogue.DeviceChosen);
  EXPECT_EQ(catalogue.SelectedDevice, 2);
}

TEST_F(ChooserTest, EmptyListKeepsContinueDisabled) {
  Show();
  EXPECT_FALSE(chooser.btContinue->isEnabled());
  QTest::keyClick(chooser.DriveList, Qt::Key_Return);
  EXPECT_TRUE(chooser.isVisible());
  EXPECT_FALSE(catalogue.DeviceChosen);
}

TEST_F(ChooserTest, EscLeavesWithoutAChoiceEvenWithARowSelected) {
  Fill({70'000});
  Show();
  ASSERT_TRUE(chooser.DriveList->topLevelItem(0)->isSelected());
  QSignalSpy rejected(&chooser, &QDialog::rejected);
  QTest::keyClick(chooser.DriveList, Qt::Key_Escape);
  EXPECT_EQ(rejected.count(), 1);
  EXPECT_FALSE(chooser.isVisible());
  EXPECT_FALSE(catalogue.DeviceChosen);
  EXPECT_EQ(catalogue.SelectedDevice, -1);
}

TEST_F(ChooserTest, ClickBesideTheRowsClearsTheSelectionAndDoubleClickThereDoesNothing) {
  Fill({70'000, 80'000});
  Show();
  const QPoint empty(10, chooser.DriveList->viewport()->height() - 5);
  ASSERT_EQ(chooser.DriveList->itemAt(empty), nullptr);
  QTest::mouseClick(chooser.DriveList->viewport(), Qt::LeftButton, {}, empty);
  EXPECT_TRUE(chooser.DriveList->selectedItems().isEmpty());
  EXPECT_FALSE(chooser.btContinue->isEnabled());
  QTest::mouseDClick(chooser.DriveList->viewport(), Qt::LeftButton, {}, empty);
  EXPECT_TRUE(chooser.isVisible());
  EXPECT_FALSE(catalogue.DeviceChosen);

  // A double-click on a row chooses it (a real one starts with a plain click).
  QTest::mouseClick(chooser.DriveList->viewport(), Qt::LeftButton, {}, RowCentre(0));
  QTest::mouseDClick(chooser.DriveList->viewport(), Qt::LeftButton, {}, RowCentre(0));
  EXPECT_TRUE(catalogue.DeviceChosen);
  EXPECT_EQ(catalogue.SelectedDevice, 1);
}

// The link starts the first disk tool installed; a missing or failing tool and a web page that
// cannot be opened are each told to the user, the page with its address.
TEST_F(ChooserTest, LinksStartProgramsThroughTheLauncherAndReportFailures) {
  Fill({70'000});
  Show();
  FakeLauncher launcher;
  chooser.Launcher = &launcher;
  QTest::mouseClick(chooser.lbDiskManagement, Qt::LeftButton);
  launcher.Installed = {"gparted", "partitionmanager"};
  QTest::mouseClick(chooser.lbDiskManagement, Qt::LeftButton);
  launcher.Fails = true;
  QTest::mouseClick(chooser.lbDiskManagement, Qt::LeftButton);
  QTest::mouseClick(chooser.Label1, Qt::LeftButton);
  EXPECT_EQ(launcher.Started,
            (QStringList{"partitionmanager", "partitionmanager", "xdg-open " + windows::ProductWebAddress()}));
  ASSERT_EQ(messages.size(), 3U);
  // The hyphen does not break: "gnome‑disks" stays on one line.
  EXPECT_TRUE(messages[0].Text.contains(QStringLiteral("gnome\u2011disks, partitionmanager, gparted")))
      << messages[0].Text.toStdString();
  EXPECT_TRUE(messages[1].Text.contains("it ended at once")) << messages[1].Text.toStdString();
  EXPECT_TRUE(messages[2].Text.endsWith(windows::ProductWebAddress())) << messages[2].Text.toStdString();
  EXPECT_TRUE(chooser.isVisible());
}

}  // namespace
}  // namespace vellumar

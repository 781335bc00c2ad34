#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QAccessible>
#include <QMessageBox>
#include <QTest>

#include "gui/main_window_fixture.h"
#include "main/choose_device.h"
#include "platform/linux/host/user_files.h"
#include "windows/fm_license_agreement.h"
#include "windows/task_dialog.h"
#include "windows/toolkit_translations.h"
#include "windows/window_texts.h"

// What a screen reader and a keyboard user meet: a name on every control the keyboard reaches,
// the links among those controls, and Qt's own buttons in the captions' language.
namespace vellumar {
namespace {

// The controls Tab reaches in `window` that a screen reader has no name for.
std::string Nameless(QWidget& window) {
  window.show();
  QStringList nameless;
  for (QWidget* widget : window.findChildren<QWidget*>()) {
    const QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(widget);
    if (widget->isVisibleTo(&window) && (widget->focusPolicy() & Qt::TabFocus) != 0 &&
        accessible->text(QAccessible::Name).trimmed().isEmpty()) {
      nameless << QString(widget->metaObject()->className()) + " " + widget->objectName();
    }
  }
  return nameless.join(", ").toStdString();
}

// Whether Tab, pressed from `start` at most `presses` times, reaches `target`.
bool TabReaches(QWidget* start, QWidget* target, int presses) {
  QApplication::setActiveWindow(start->window());
  start->setFocus();
  for (int press = 0; press < presses && QApplication::focusWidget() != target; ++press) {
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
  }
  return QApplication::focusWidget() == target;
}

using testing::MainWindowTest;

TEST_F(MainWindowTest, EveryWindowNamesItsControlsAndTabReachesTheLinks) {
  ASSERT_TRUE(Start());
  for (int page = 0; page < window.pages->count(); ++page) {
    window.pages->setCurrentIndex(page);
    EXPECT_EQ(Nameless(window), "") << "page " << page;
  }
  // On Linux a combo box's name is its current item: its label must name it.
  bool labelled = false;
  for (const auto& [other, relation] :
       QAccessible::queryAccessibleInterface(window.cbVerify)->relations(QAccessible::Label)) {
    labelled = labelled || other->object() == window.lbVerify;
  }
  EXPECT_TRUE(labelled);
  EXPECT_TRUE(TabReaches(window.btRunBenchmarks, window.lbCopyright, 12));

  windows::TFmChoose chooser(catalogue);
  chooser.AddDriveRow(desktop::DriveRowTexts(services.Drives[0], LocaleSettings{}));
  EXPECT_EQ(Nameless(chooser), "");
  EXPECT_EQ(chooser.Label2->buddy(), chooser.DriveList);
  EXPECT_TRUE(TabReaches(chooser.DriveList, chooser.Label1, 6));
  EXPECT_TRUE(TabReaches(chooser.DriveList, chooser.lbDiskManagement, 6));
  testing::FakeLauncher launcher;
  launcher.Installed = {"gparted"};
  chooser.Launcher = &launcher;
  QTest::keyClick(chooser.lbDiskManagement, Qt::Key_Return);
  EXPECT_EQ(launcher.Started, QStringList{"gparted"});

  platform::UserFiles files;
  windows::TfmLicenseAgreement agreement("", files);
  EXPECT_EQ(Nameless(agreement), "");
  EXPECT_EQ(Nameless(debug), "");
}

// Yes, Cancel and OK in Korean, from Qt's own translations; Yes still has no mnemonic.
TEST(Accessibility, QtsOwnButtonsSpeakTheCaptionsLanguage) {
  ASSERT_TRUE(windows::InstallToolkitTranslations(*QCoreApplication::instance()))
      << "qtbase_ko.qm is missing (Debian qt6-translations-l10n)";
  QMessageBox box;
  box.setStandardButtons(QMessageBox::Ok);
  EXPECT_EQ(box.button(QMessageBox::Ok)->text(), "확인");
  const auto question = windows::BuildTaskMessageBox(nullptr, "Warning", "Sure?", "", windows::kIconWarning,
                                                     windows::kButtonYes | windows::kButtonCancel);
  EXPECT_EQ(question->button(QMessageBox::Yes)->text(), "예");
  EXPECT_EQ(question->button(QMessageBox::Cancel)->text(), "취소");
}

}  // namespace
}  // namespace vellumar

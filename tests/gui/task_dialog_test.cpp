#include "windows/task_dialog.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include "windows/link_label.h"
#include "windows/window_fonts.h"

namespace vellumar {
namespace {

using namespace windows;

// Presses the standard button `which` of the message box that is about to open.
void PressWhenShown(QMessageBox::StandardButton which) {
  QTimer::singleShot(0, [which] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    ASSERT_NE(box, nullptr);
    QTest::mouseClick(box->button(which), Qt::LeftButton);
  });
}

TEST(TaskDialogTest, TheConfirmationShowsItsTextsWarningIconAndYesCancel) {
  const auto box = BuildTaskMessageBox(nullptr, "Warning", "All data on the selected device will be lost",
                                       "Sure?\r\n\r\n[1]  DISK", kIconWarning, kButtonYes | kButtonCancel);
  EXPECT_EQ(box->windowTitle(), "Warning");
  EXPECT_EQ(box->text(), "All data on the selected device will be lost");
  EXPECT_EQ(box->informativeText(), "Sure?\n\n[1]  DISK");
  EXPECT_EQ(box->icon(), QMessageBox::Warning);
  EXPECT_EQ(box->standardButtons(), QMessageBox::Yes | QMessageBox::Cancel);
  EXPECT_EQ(static_cast<QAbstractButton*>(box->defaultButton()), box->button(QMessageBox::Cancel));
}

TEST(TaskDialogTest, ATextOverTheLimitIsPassedEmptyNotCut) {
  const auto box = BuildTaskMessageBox(nullptr, QString(1024, 'y'), "main", QString(1500, 'x'), kIconError, 10);
  EXPECT_EQ(box->informativeText(), "");
  EXPECT_EQ(box->windowTitle(), QString(1024, 'y'));
  EXPECT_EQ(box->icon(), QMessageBox::Critical);
}

TEST(TaskDialogTest, ResultCodesAreSixForYesAndTwoForCancel) {
  PressWhenShown(QMessageBox::Yes);
  EXPECT_EQ(ShowTaskDialogOrMessage(nullptr, "Warning", "main", "content", kIconWarning, 10), 6);
  PressWhenShown(QMessageBox::Cancel);
  EXPECT_EQ(ShowTaskDialogOrMessage(nullptr, "Warning", "main", "content", kIconWarning, 10), 2);
}

TEST(WindowFontsTest, CalibriIsTakenOnceAndOnlyWhenInstalled) {
  QFont font("DejaVu Sans", 9);
  ApplyCalibriFont(font, {"DejaVu Sans", "Noto Sans"});
  EXPECT_EQ(font.family(), "DejaVu Sans");
  EXPECT_EQ(font.pointSize(), 9);

  ApplyCalibriFont(font, {"DejaVu Sans", "Calibri"});
  ApplyCalibriFont(font, {"Calibri"});
  EXPECT_EQ(font.family(), "Calibri");
  EXPECT_EQ(font.pointSize(), 11);

  QFont lower("calibri", 10);
  ApplyCalibriFont(lower, {"Calibri"});
  EXPECT_EQ(lower.family(), "calibri");
  EXPECT_EQ(lower.pointSize(), 10);
}

TEST(LinkLabelTest, ColoursFollowThePointerAndTheLeftButton) {
  LinkLabel link;
  link.setText("link");
  link.resize(100, 20);
  link.SetColours(QColor(128, 128, 128), QColor(0, 0, 255), QColor(255, 0, 0));
  int clicks = 0;
  QObject::connect(&link, &LinkLabel::clicked, [&clicks] { ++clicks; });
  EXPECT_EQ(link.TextColour(), QColor(128, 128, 128));
  QTest::mousePress(&link, Qt::LeftButton, {}, QPoint(5, 5));
  EXPECT_EQ(link.TextColour(), QColor(255, 0, 0));
  // Released outside: back to rest, and no click.
  QTest::mouseRelease(&link, Qt::LeftButton, {}, QPoint(500, 5));
  EXPECT_EQ(link.TextColour(), QColor(128, 128, 128));
  EXPECT_EQ(clicks, 0);
  QTest::mouseClick(&link, Qt::LeftButton, {}, QPoint(5, 5));
  EXPECT_EQ(clicks, 1);
}

}  // namespace
}  // namespace vellumar

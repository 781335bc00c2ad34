#include "windows/task_dialog.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <functional>
#include <vector>

#include "windows/link_label.h"
#include "windows/window_fonts.h"

namespace vellumar {
namespace testing_support {
inline TDeviceTable DriveAt(const std::string& node, const std::string& serial) {
  TDeviceTable drive;
  drive.DevicePath = node;
  drive.IdentifyData.SN = "  " + serial + " ";
  return drive;
}
}  // namespace testing_support
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

// No single key press confirms the destructive question: Enter, Esc, the close button and a
// plain "y" (which a message box would take for the Yes mnemonic) all answer Cancel; the Yes
// button itself still answers 6. Device text in the content stays plain text.
TEST(TaskDialogTest, NoSingleKeyConfirmsAndDeviceTextIsPlain) {
  const std::vector<std::function<void(QMessageBox*)>> answers = {
      [](QMessageBox* box) { QTest::keyClick(box, Qt::Key_Return); },
      [](QMessageBox* box) { QTest::keyClick(box, Qt::Key_Escape); },
      [](QMessageBox* box) { box->close(); },
      [](QMessageBox* box) { QTest::keyClick(box, Qt::Key_Y); },
      [](QMessageBox* box) { QTest::keyClick(box, Qt::Key_Y, Qt::AltModifier); },
  };
  const ConfirmationRequest request =
      FormatConfirmation("[1]  <b>DISK</b>", testing_support::DriveAt("/dev/sdb", "WD-WCAV12345678"));
  for (std::size_t i = 0; i < answers.size(); ++i) {
    QTimer::singleShot(0, [&answers, i] {
      auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
      ASSERT_NE(box, nullptr);
      for (QLabel* label : box->findChildren<QLabel*>()) {
        EXPECT_EQ(label->textFormat(), Qt::PlainText) << label->text().toStdString();
      }
      EXPECT_FALSE(box->button(QMessageBox::Yes)->text().contains('&'));
      answers[i](box);
      // A box still open after the key would hang the test: close it as Cancel.
      QTimer::singleShot(100, box, [box] { box->close(); });
    });
    EXPECT_EQ(ShowTaskDialogOrMessage(nullptr, request), kDialogCancel) << "answer " << i;
  }
  EXPECT_TRUE(request.Content.ends_with("[1]  <b>DISK</b>\r\n/dev/sdb   Serial number: WD-WCAV12345678"));
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

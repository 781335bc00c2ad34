#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QCheckBox>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QScreen>
#include <QTabBar>
#include <QTest>

#include "gui/fake_main_services.h"
#include "main/choose_device.h"
#include "main/fm_main.h"
#include "platform/linux/host/user_files.h"
#include "support/fake_clock.h"
#include "windows/fm_choose.h"
#include "windows/fm_debug.h"
#include "windows/fm_license_agreement.h"

// Run at QT_SCALE_FACTOR 1 and 1.5 on a 1280x720 screen (see CMakeLists.txt): every label,
// button, tab and header in the four windows shows its whole text, and each window fits the
// screen.
namespace vellumar {
namespace {

QString Describe(const QWidget* widget, const QString& text) {
  return widget->metaObject()->className() + QStringLiteral(" ") + widget->objectName() + QStringLiteral(" \"") + text +
         QStringLiteral("\"");
}

int WidestLine(const QFontMetrics& metrics, const QString& text) {
  int widest = 0;
  for (const QString& line : text.split('\n')) {
    widest = std::max(widest, metrics.horizontalAdvance(line));
  }
  return widest;
}

// Texts whose font-metric size exceeds the widget that shows them.
QStringList ClippedTexts(QWidget* window) {
  QStringList clipped;
  for (QLabel* label : window->findChildren<QLabel*>()) {
    if (!label->isVisibleTo(window) || label->text().isEmpty() || label->wordWrap()) {
      continue;
    }
    const QFontMetrics metrics(label->font());
    const QRect room = label->contentsRect().marginsRemoved(
        QMargins(label->margin(), label->margin(), label->margin(), label->margin()));
    QString shown = label->text();
    if (label->buddy() != nullptr) {
      shown.remove('&');  // a mnemonic's marker is not drawn
    }
    const auto lines = static_cast<int>(shown.count('\n') + 1);
    if (WidestLine(metrics, shown) > room.width() || metrics.height() * lines > room.height()) {
      clipped << Describe(label, label->text());
    }
  }
  for (QAbstractButton* button : window->findChildren<QAbstractButton*>()) {
    QString text = button->text();
    text.remove('&');
    if (!button->isVisibleTo(window) || text.isEmpty()) {
      continue;
    }
    const QFontMetrics metrics(button->font());
    const bool fits = qobject_cast<QCheckBox*>(button) != nullptr
                          ? button->width() >= button->sizeHint().width()
                          : metrics.horizontalAdvance(text) + 8 <= button->width();
    if (!fits || metrics.height() > button->height()) {
      clipped << Describe(button, text);
    }
  }
  for (QHeaderView* header : window->findChildren<QHeaderView*>()) {
    if (!header->isVisibleTo(window)) {
      continue;
    }
    const QFontMetrics metrics(header->font());
    for (int section = 0; section < header->count(); ++section) {
      const QString text = header->model()->headerData(section, header->orientation()).toString();
      if (metrics.horizontalAdvance(text) + 8 > header->sectionSize(section)) {
        clipped << Describe(header, text);
      }
    }
  }
  for (QTabBar* tabs : window->findChildren<QTabBar*>()) {
    const QFontMetrics metrics(tabs->font());
    for (int tab = 0; tab < tabs->count(); ++tab) {
      if (metrics.horizontalAdvance(tabs->tabText(tab)) > tabs->tabRect(tab).width()) {
        clipped << Describe(tabs, tabs->tabText(tab));
      }
    }
  }
  for (QGroupBox* box : window->findChildren<QGroupBox*>()) {
    if (box->isVisibleTo(window) && QFontMetrics(box->font()).horizontalAdvance(box->title()) + 16 > box->width()) {
      clipped << Describe(box, box->title());
    }
  }
  return clipped;
}

void ExpectWholeTextsAndFit(QWidget& window) {
  window.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
  QTest::qWait(20);
  const QSize room = window.screen()->availableGeometry().size();
  EXPECT_LE(window.width(), room.width()) << window.objectName().toStdString();
  EXPECT_LE(window.height(), room.height()) << window.objectName().toStdString();
  const QStringList clipped = ClippedTexts(&window);
  EXPECT_TRUE(clipped.isEmpty()) << "scale " << qgetenv("QT_SCALE_FACTOR").toStdString() << ": "
                                 << clipped.join("\n").toStdString();
}

TEST(NoClippedText, InTheFourWindows) {
  testing::FakeClock clock;
  LogSinks logs{clock, LocaleSettings{}};
  DeviceCatalogue catalogue;
  testing::FakeMainServices services;
  services.Drives = {testing::MakeDrive("/dev/nvme0n1", 1'953'525'168, 0),
                     testing::MakeDrive("/dev/mmcblk0", 62'333'952, 1)};
  services.Drives[0].IdentifyData.Model = "Samsung SSD 970 EVO Plus 1TB";
  services.Drives[0].IdentifyData.BusType = 17;

  windows::TFmChoose chooser(catalogue);
  desktop::TFmMain main(logs, catalogue, services);
  main.Hooks.ShowChooser = [&] {
    for (std::int64_t slot = 1; slot <= catalogue.DeviceCount; ++slot) {
      QStringList row = desktop::DriveRowTexts(catalogue.DeviceTable(slot), logs.Locale());
      row[1] += " (system)";
      chooser.AddDriveRow(row);
    }
    chooser.SetStatusText("Disks found: 2");
    catalogue.Choose(0);
    return true;
  };
  ASSERT_TRUE(main.StartUp());
  ExpectWholeTextsAndFit(chooser);
  main.StatusPanels[2]->setText("Stopping after the current block...");
  ExpectWholeTextsAndFit(main);
  main.pages->setCurrentIndex(1);
  // The longest texts a run shows in the progress group and the status bar.
  main.lbCurrentPercent->setText("100% complete");
  main.lbSpeed->setText("4067.2 MB/s");
  main.lbCurrentPosition->setText("Current sector: 1,953,525,168");
  main.lbPhase->setText("Verifying (sample)...");
  main.lbTimes->setText("Elapsed: 10:00:00   Remaining: about 10:00:00");
  main.StatusPanels[0]->setText("Completed, verification cancelled");
  main.StatusPanels[1]->setText("/dev/nvme0n1 (gone)");
  ExpectWholeTextsAndFit(main);
  main.pages->setCurrentIndex(2);
  ExpectWholeTextsAndFit(main);

  platform::UserFiles files;
  windows::TfmLicenseAgreement agreement("", files);
  ExpectWholeTextsAndFit(agreement);
  windows::TFmDebug debug;
  ExpectWholeTextsAndFit(debug);
}

}  // namespace
}  // namespace vellumar

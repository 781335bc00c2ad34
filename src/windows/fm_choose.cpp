#include "windows/fm_choose.h"

#include <QFontMetrics>
#include <QFrame>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QVBoxLayout>
#include <algorithm>

#include "windows/program_links.h"
#include "windows/screen_fit.h"
#include "windows/window_fonts.h"
#include "windows/window_texts.h"

namespace vellumar::windows {

namespace {

QFrame* WhitePanel(QWidget* parent) {
  auto* panel = new QFrame(parent);
  panel->setAutoFillBackground(true);
  QPalette colours = panel->palette();
  colours.setColor(QPalette::Window, Qt::white);
  panel->setPalette(colours);
  return panel;
}

}  // namespace

TFmChoose::TFmChoose(vellumar::DeviceCatalogue& catalogue, QWidget* parent)
    : QDialog(parent),
      lbProgramName(new QLabel(this)),
      Label1(new LinkLabel(this)),
      DriveList(new QTreeWidget(this)),
      lbDiskManagement(new LinkLabel(this)),
      Label2(new QLabel(QStringLiteral("장치를 선택해 주세요"), this)),
      lbCopyright(new QLabel(this)),
      btContinue(new QPushButton(QStringLiteral("계속 >>>"), this)),
      StatusBar(new QStatusBar(this)),
      catalogue_(catalogue),
      statusText_(new QLabel(this)) {
  setObjectName(QStringLiteral("FmChoose"));
  QFont font = DesignFont(QStringLiteral("Tahoma"), 12);
  ApplyIconTitleFont(font);
  ApplyCalibriFont(font);
  setFont(font);

  InformationBox = [](const QString& text, const QString& caption) { ShowPlainNote(nullptr, text, caption); };

  BuildLayout();

  DriveList->setObjectName(QStringLiteral("DriveList"));
  DriveList->setAccessibleName(QStringLiteral("장치 목록"));
  Label2->setBuddy(DriveList);
  DriveList->setColumnCount(kChooserColumns);
  DriveList->setHeaderLabels({QStringLiteral("버스"), QStringLiteral("장치"), QStringLiteral("모델"),
                              QStringLiteral("펌웨어"), QStringLiteral("일련 번호"), QStringLiteral("LBA"),
                              QStringLiteral("용량")});
  // The design widths, grown with the screen's resolution. The model column carries the
  // drive's volumes, the one clue that a disk holds someone's data; bus and node fit their
  // texts (FitColumns), the capacity takes the rest.
  const int dpi = logicalDpiX();
  const auto scaled = [dpi](int width) { return width * dpi / 96; };
  const int designWidths[] = {0, 0, 220, 90, 160, 117};
  for (int column = 2; column < 6; ++column) {
    DriveList->setColumnWidth(column, scaled(designWidths[column]));
  }
  FitColumns();
  // The dialog is as wide as the columns need with the node column added to the design, up to
  // what the screen has room for; the list scrolls sideways beyond that.
  const QFontMetrics metrics(DriveList->font());
  const int nodeWidth =
      metrics.horizontalAdvance(QStringLiteral("/dev/nvme0n1 (system)")) + 2 * metrics.averageCharWidth();
  FitToScreen(*this, QSize(881 + nodeWidth, 368), QSize(881, 368), true);
  DriveList->header()->setStretchLastSection(true);
  DriveList->setRootIsDecorated(false);
  DriveList->setItemsExpandable(false);
  DriveList->setUniformRowHeights(true);
  DriveList->setSelectionMode(QAbstractItemView::SingleSelection);
  DriveList->setSelectionBehavior(QAbstractItemView::SelectRows);
  DriveList->setEditTriggers(QAbstractItemView::NoEditTriggers);
  DriveList->setAllColumnsShowFocus(true);
  DriveList->installEventFilter(this);
  DriveList->viewport()->installEventFilter(this);
  ApplyExplorerTheme(DriveList);

  lbProgramName->setText(ProductName().toUpper());
  Label1->setText(ProductWebAddress().toUpper());
  Label1->SetColours(QColor(0, 0, 255), QColor(0, 0, 255), QColor(255, 0, 0));
  lbDiskManagement->setText(QStringLiteral("디스크 관리 콘솔 열기"));
  QFont underlined = lbDiskManagement->font();
  underlined.setUnderline(true);
  lbDiskManagement->setFont(underlined);
  QPalette grey = lbCopyright->palette();
  grey.setColor(QPalette::WindowText, QColor(128, 128, 128));
  lbCopyright->setPalette(grey);
  lbCopyright->setText(kCopyrightLine);
  btContinue->setObjectName(QStringLiteral("btContinue"));
  btContinue->setMinimumSize(135, 26);
  btContinue->setDefault(true);
  btContinue->setEnabled(false);
  StatusBar->setSizeGripEnabled(false);
  StatusBar->addWidget(statusText_, 1);
  for (QLabel* label : {lbProgramName, static_cast<QLabel*>(Label1), static_cast<QLabel*>(lbDiskManagement), Label2,
                        lbCopyright, statusText_}) {
    label->setTextFormat(Qt::PlainText);
  }

  connect(DriveList, &QTreeWidget::itemSelectionChanged, this, &TFmChoose::UpdateContinue);
  connect(DriveList, &QTreeWidget::itemDoubleClicked, this, [this] {
    if (!DriveList->selectedItems().isEmpty()) {
      btContinueClick();
    }
  });
  connect(btContinue, &QPushButton::clicked, this, &TFmChoose::btContinueClick);
  connect(Label1, &LinkLabel::clicked, this, [this] { OpenWebAddress(Launcher, ProductWebAddress(), InformationBox); });
  connect(lbDiskManagement, &LinkLabel::clicked, this, &TFmChoose::lbDiskManagementClick);
}

void TFmChoose::BuildLayout() {
  QFrame* header = WhitePanel(this);
  header->setMinimumHeight(44);
  auto* headerRow = new QHBoxLayout(header);
  headerRow->setContentsMargins(12, 0, 12, 0);
  QFont bold = lbProgramName->font();
  bold.setBold(true);
  lbProgramName->setFont(bold);
  headerRow->addWidget(lbProgramName);
  headerRow->addStretch(1);
  headerRow->addWidget(Label1);

  auto* separator = new QFrame(this);
  separator->setFrameShape(QFrame::HLine);
  separator->setFrameShadow(QFrame::Sunken);
  separator->setMinimumHeight(2);

  auto* bottom = new QWidget(this);
  bottom->setMinimumHeight(69);
  auto* bottomGrid = new QGridLayout(bottom);
  bottomGrid->setContentsMargins(20, 4, 20, 8);
  bottomGrid->addWidget(lbDiskManagement, 0, 2, Qt::AlignRight | Qt::AlignTop);
  bottomGrid->addWidget(lbCopyright, 1, 0, Qt::AlignLeft | Qt::AlignBottom);
  bottomGrid->addWidget(Label2, 1, 1, Qt::AlignRight | Qt::AlignVCenter);
  bottomGrid->addWidget(btContinue, 1, 2, Qt::AlignRight | Qt::AlignBottom);
  bottomGrid->setColumnStretch(0, 1);

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  layout->addWidget(header);
  layout->addWidget(separator);
  auto* listBorder = new QVBoxLayout;
  listBorder->setContentsMargins(20, 20, 20, 0);
  listBorder->addWidget(DriveList);
  layout->addLayout(listBorder, 1);
  layout->addWidget(bottom);
  StatusBar->setMinimumHeight(20);
  layout->addWidget(StatusBar);
}

void TFmChoose::AddDriveRow(const QStringList& columns) {
  auto* item = new QTreeWidgetItem(DriveList, columns);
  item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
  // A text cut short by its column can still be read whole.
  for (int column = 0; column < columns.size(); ++column) {
    item->setToolTip(column, columns[column]);
  }
  FitColumns();
}

void TFmChoose::ReplaceDriveRows(const QList<QStringList>& rows) {
  // The chosen row stays chosen only while the same drive is still there: same node, serial and
  // size. Otherwise nothing is chosen, so Enter never takes a drive the user did not pick.
  const auto key = [](const QStringList& columns) { return columns.mid(1, 1) + columns.mid(4, 2); };
  QStringList kept;
  if (const QList<QTreeWidgetItem*> selected = DriveList->selectedItems(); !selected.isEmpty()) {
    QStringList texts;
    for (int column = 0; column < DriveList->columnCount(); ++column) {
      texts << selected.front()->text(column);
    }
    kept = key(texts);
  }
  DriveList->clear();
  for (const QStringList& row : rows) {
    AddDriveRow(row);
    if (!kept.isEmpty() && key(row) == kept) {
      QTreeWidgetItem* item = DriveList->topLevelItem(DriveList->topLevelItemCount() - 1);
      DriveList->setCurrentItem(item);
      item->setSelected(true);
    }
  }
  UpdateContinue();
}

void TFmChoose::SetRefreshing(bool refreshing) {
  refreshing_ = refreshing;
  UpdateContinue();
}

void TFmChoose::FitColumns() {
  DriveList->resizeColumnToContents(0);
  DriveList->resizeColumnToContents(1);
}

bool TFmChoose::HoldsRunningSystem(int row) const {
  const QTreeWidgetItem* item = DriveList->topLevelItem(row);
  const bool marked = item != nullptr && item->text(1).endsWith(QStringLiteral(" (system)"));
  return marked || (row < catalogue_.DeviceCount && !catalogue_.DeviceTable(row + 1).SystemVolume.empty());
}

void TFmChoose::SetStatusText(const QString& text) { statusText_->setText(text); }

QString TFmChoose::StatusText() const { return statusText_->text(); }

void TFmChoose::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  DriveList->setFocus();
  // The last drive is preselected, but never the running system's: Enter alone must not pick
  // the disk the system runs from.
  for (int row = DriveList->topLevelItemCount() - 1; row >= 0; --row) {
    if (!HoldsRunningSystem(row)) {
      QTreeWidgetItem* item = DriveList->topLevelItem(row);
      DriveList->setCurrentItem(item);
      item->setSelected(true);
      break;
    }
  }
  UpdateContinue();
}

bool TFmChoose::eventFilter(QObject* watched, QEvent* event) {
  if (watched == DriveList && event->type() == QEvent::KeyPress &&
      static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape) {
    // Leaving with Esc is leaving without a choice, even with a row selected.
    reject();
    return true;
  }
  if (watched == DriveList->viewport() &&
      (event->type() == QEvent::MouseButtonPress || event->type() == QEvent::MouseButtonDblClick)) {
    const QPoint where = static_cast<QMouseEvent*>(event)->position().toPoint();
    if (DriveList->itemAt(where) == nullptr) {
      // A click beside the rows drops the selection, as list views do elsewhere.
      DriveList->clearSelection();
      DriveList->setCurrentItem(nullptr);
      UpdateContinue();
      return true;
    }
  }
  return QDialog::eventFilter(watched, event);
}

void TFmChoose::UpdateContinue() { btContinue->setEnabled(!refreshing_ && !DriveList->selectedItems().isEmpty()); }

void TFmChoose::btContinueClick() {
  const QList<QTreeWidgetItem*> selected = DriveList->selectedItems();
  // While the drives are probed again the rows may no longer match the catalogue.
  if (selected.isEmpty() || refreshing_) {
    return;
  }
  const int row = DriveList->indexOfTopLevelItem(selected.front());
  if (catalogue_.DeviceTable(row + 1).IdentifyData.LBA < kMinimumChooserSectors) {
    InformationBox(QStringLiteral("This device cannot be accessed because it is smaller than 65535 sectors.  "),
                   QStringLiteral("Cannot access this device"));
    return;
  }
  catalogue_.Choose(row);
  accept();
}

void TFmChoose::lbDiskManagementClick() { OpenDiskTool(Launcher, InformationBox); }

}  // namespace vellumar::windows

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
  FitToScreen(*this, QSize(881, 368), QSize(881, 368), true);

  InformationBox = [](const QString& text, const QString& caption) { ShowPlainNote(nullptr, text, caption); };

  BuildLayout();

  DriveList->setObjectName(QStringLiteral("DriveList"));
  DriveList->setColumnCount(7);
  DriveList->setHeaderLabels({QStringLiteral("버스"), QStringLiteral("장치"), QStringLiteral("모델"),
                              QStringLiteral("펌웨어"), QStringLiteral("일련 번호"), QStringLiteral("LBA"),
                              QStringLiteral("용량")});
  // The bus and node columns fit their longest texts (the node with the running-system mark);
  // the model column gives up what that takes.
  const QFontMetrics metrics(DriveList->font());
  const int nodeWidth = std::max(metrics.horizontalAdvance(QStringLiteral("/dev/nvme0n1 (system)")),
                                 metrics.horizontalAdvance(QStringLiteral("/dev/mmcblk0 (system)"))) +
                        2 * metrics.averageCharWidth() + 8;
  const int busWidth = metrics.horizontalAdvance(QStringLiteral("FBVIRTUAL")) + 2 * metrics.averageCharWidth() + 8;
  const int widths[] = {busWidth, nodeWidth, 150, 80, 130, 85};
  for (int column = 0; column < 6; ++column) {
    DriveList->setColumnWidth(column, widths[column]);
  }
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
}

void TFmChoose::SetStatusText(const QString& text) { statusText_->setText(text); }

QString TFmChoose::StatusText() const { return statusText_->text(); }

void TFmChoose::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  DriveList->setFocus();
  if (DriveList->topLevelItemCount() > 0) {
    QTreeWidgetItem* last = DriveList->topLevelItem(DriveList->topLevelItemCount() - 1);
    DriveList->setCurrentItem(last);
    last->setSelected(true);
    btContinue->setEnabled(true);
  }
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

void TFmChoose::UpdateContinue() { btContinue->setEnabled(!DriveList->selectedItems().isEmpty()); }

void TFmChoose::btContinueClick() {
  const QList<QTreeWidgetItem*> selected = DriveList->selectedItems();
  if (selected.isEmpty()) {
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

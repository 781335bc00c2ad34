#include "main/main_pages.h"

#include <QFontMetrics>
#include <QGridLayout>
#include <QGroupBox>
#include <QVBoxLayout>
#include <utility>

#include "main/method_choice.h"
#include "windows/memo.h"
#include "windows/window_fonts.h"

namespace vellumar::desktop {

using vellumar::windows::DesignFont;

namespace {

QWidget* BorderPanel(QWidget* parent, int border, QWidget* content) {
  auto* panel = new QWidget(parent);
  auto* layout = new QVBoxLayout(panel);
  layout->setContentsMargins(border, border, border, border);
  layout->addWidget(content);
  return panel;
}

QWidget* BuildDetailsPage(QWidget* window, DetailsPage& page) {
  page.TabSheet3 = new QWidget(window);
  page.Log_Details = new QPlainTextEdit(page.TabSheet3);
  page.Log_Details->setObjectName(QStringLiteral("Log_Details"));
  vellumar::windows::SetUpMemo(page.Log_Details, true);
  page.Log_Details->setFont(vellumar::windows::ReportMemoFont());
  page.Log_Details->setAccessibleName(QStringLiteral("장치 세부 정보"));
  auto* layout = new QVBoxLayout(page.TabSheet3);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(BorderPanel(page.TabSheet3, 10, BorderPanel(page.TabSheet3, 10, page.Log_Details)));
  return page.TabSheet3;
}

QWidget* BuildFormatPage(QWidget* window, FormatPage& page) {
  page.TabSheet1 = new QWidget(window);
  page.Log_BenchMark = new QPlainTextEdit(page.TabSheet1);
  page.Log_BenchMark->setObjectName(QStringLiteral("Log_BenchMark"));
  vellumar::windows::SetUpMemo(page.Log_BenchMark, true);
  page.Log_BenchMark->setMinimumHeight(120);
  page.Log_BenchMark->setAccessibleName(QStringLiteral("포맷 로그"));

  const QString progressCaption = QStringLiteral("현재 작업 진행 상황");
  auto* groupBox2 = new QGroupBox(progressCaption, page.TabSheet1);
  page.lbPhase = new QLabel(groupBox2);
  page.lbPhase->setObjectName(QStringLiteral("lbPhase"));
  page.lbTimes = new QLabel(groupBox2);
  page.lbTimes->setObjectName(QStringLiteral("lbTimes"));
  page.lbTimes->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  page.pbCurrentTask = new QProgressBar(groupBox2);
  page.pbCurrentTask->setObjectName(QStringLiteral("pbCurrentTask"));
  page.pbCurrentTask->setAccessibleName(progressCaption);
  page.pbCurrentTask->setRange(0, 100);
  page.pbCurrentTask->setValue(0);
  page.pbCurrentTask->setTextVisible(false);
  auto* phaseRow = new QHBoxLayout;
  phaseRow->addWidget(page.lbPhase);
  phaseRow->addStretch(1);
  phaseRow->addWidget(page.lbTimes);
  auto* groupLayout = new QVBoxLayout(groupBox2);
  groupLayout->setContentsMargins(10, 4, 10, 10);
  groupLayout->setSpacing(2);
  groupLayout->addLayout(phaseRow);
  groupLayout->addWidget(page.pbCurrentTask);
  groupBox2->setMinimumHeight(67);

  const QFont big = DesignFont(QStringLiteral("Tahoma"), 21);
  page.lbCurrentPercent = new QLabel(page.TabSheet1);
  page.lbSpeed = new QLabel(page.TabSheet1);
  page.lbCurrentPosition = new QLabel(page.TabSheet1);
  // Each as wide as its longest usual text, so the window never squeezes a figure.
  const QFontMetrics bigMetrics(big);
  const std::pair<QLabel*, QString> figures[] = {
      {page.lbCurrentPercent, QStringLiteral("100% complete")},
      {page.lbSpeed, QStringLiteral("8888.8 MB/s")},
      {page.lbCurrentPosition, QStringLiteral("Current sector: 3,907,029,168")}};
  for (const auto& [label, longest] : figures) {
    label->setFont(big);
    label->setMinimumWidth(bigMetrics.horizontalAdvance(longest) + bigMetrics.averageCharWidth());
  }
  page.cbQuickWipe = new QCheckBox(QStringLiteral("빠른 초기화 수행 (파티션 및 MBR만 제거)"), page.TabSheet1);
  page.cbQuickWipe->setObjectName(QStringLiteral("cbQuickWipe"));
  page.cbMethod = BuildMethodChoice(page.TabSheet1);
  page.lbMethod = new QLabel(QStringLiteral("방법(&M):"), page.TabSheet1);
  page.lbMethod->setBuddy(page.cbMethod);
  page.btStop = new QPushButton(QStringLiteral("중지"), page.TabSheet1);
  page.btStop->setObjectName(QStringLiteral("btStop"));
  page.btStop->setMinimumSize(94, 26);
  page.btStop->setEnabled(false);
  page.cbVerify = new QComboBox(page.TabSheet1);
  page.cbVerify->setObjectName(QStringLiteral("cbVerify"));
  page.cbVerify->addItems({QStringLiteral("검증 안 함"), QStringLiteral("표본 검증"), QStringLiteral("전체 검증")});
  // A combo box's own name would be its current item: the label names it for screen readers.
  page.cbVerify->setAccessibleName(QStringLiteral("검증"));
  page.lbVerify = new QLabel(QStringLiteral("검증(&V):"), page.TabSheet1);
  page.lbVerify->setBuddy(page.cbVerify);
  page.btSaveReport = new QPushButton(QStringLiteral("보고서 저장"), page.TabSheet1);
  page.btSaveReport->setObjectName(QStringLiteral("btSaveReport"));
  page.btSaveReport->setMinimumSize(94, 26);
  page.btSaveReport->setEnabled(false);
  page.btRunBenchmarks = new QPushButton(QStringLiteral("이 장치 포맷"), page.TabSheet1);
  page.btRunBenchmarks->setObjectName(QStringLiteral("btRunBenchmarks"));
  page.btRunBenchmarks->setMinimumSize(169, 26);
  page.btRunBenchmarks->setDefault(true);

  // The run's figures on the left; on the right how it runs, then the buttons.
  auto* figureGrid = new QGridLayout;
  figureGrid->setHorizontalSpacing(12);
  figureGrid->addWidget(page.lbCurrentPercent, 0, 0);
  figureGrid->addWidget(page.lbSpeed, 0, 1);
  figureGrid->addWidget(page.lbCurrentPosition, 1, 0, 1, 2);
  auto* verifyRow = new QHBoxLayout;
  verifyRow->setSpacing(4);
  verifyRow->addWidget(page.lbVerify);
  verifyRow->addWidget(page.cbVerify);
  verifyRow->addStretch(1);
  auto* buttonRow = new QHBoxLayout;
  buttonRow->addWidget(page.btStop);
  buttonRow->addWidget(page.btRunBenchmarks);
  buttonRow->addWidget(page.btSaveReport);
  auto* controls = new QVBoxLayout;
  controls->setSpacing(4);
  // The method sits right under the quick wipe, which belongs to its first choice, the zero fill.
  auto* methodRow = new QHBoxLayout;
  methodRow->setSpacing(4);
  methodRow->addWidget(page.lbMethod);
  methodRow->addWidget(page.cbMethod);
  methodRow->addStretch(1);
  controls->addWidget(page.cbQuickWipe, 0, Qt::AlignLeft);
  controls->addLayout(methodRow);
  controls->addLayout(verifyRow);
  controls->addLayout(buttonRow);
  auto* bottom = new QHBoxLayout;
  bottom->setContentsMargins(17, 0, 0, 0);
  bottom->setSpacing(12);
  bottom->addLayout(figureGrid);
  bottom->addStretch(1);
  bottom->addLayout(controls);

  auto* layout = new QVBoxLayout(page.TabSheet1);
  layout->setContentsMargins(5, 5, 5, 5);
  layout->addWidget(BorderPanel(page.TabSheet1, 5, page.Log_BenchMark), 1);
  layout->addWidget(BorderPanel(page.TabSheet1, 10, groupBox2));
  layout->addLayout(bottom);
  return page.TabSheet1;
}

QWidget* BuildSmartPage(QWidget* window, SmartPage& page) {
  page.TabSheet2 = new QWidget(window);
  page.Log_Smart = new QPlainTextEdit(page.TabSheet2);
  page.Log_Smart->setObjectName(QStringLiteral("Log_Smart"));
  vellumar::windows::SetUpMemo(page.Log_Smart, true);
  page.Log_Smart->setFont(vellumar::windows::ReportMemoFont());
  page.Log_Smart->setAccessibleName(QStringLiteral("S.M.A.R.T. 보고서"));
  page.btGetSmart = new QPushButton(QStringLiteral("스마트 데이터 가져오기(&G)"), page.TabSheet2);
  page.btGetSmart->setObjectName(QStringLiteral("btGetSmart"));
  page.btGetSmart->setMinimumSize(169, 26);
  page.btGetSmart->setDefault(true);

  auto* buttonRow = new QHBoxLayout;
  buttonRow->addStretch(1);
  buttonRow->addWidget(page.btGetSmart);
  auto* layout = new QVBoxLayout(page.TabSheet2);
  layout->setContentsMargins(10, 10, 10, 10);
  layout->addWidget(page.Log_Smart, 1);
  layout->addLayout(buttonRow);
  return page.TabSheet2;
}

}  // namespace

void MainWidgets::BuildWidgets(QMainWindow& window, const QFont& font) {
  Panel2 = new QWidget(&window);
  Panel2->setAutoFillBackground(true);
  QPalette white = Panel2->palette();
  white.setColor(QPalette::Window, Qt::white);
  Panel2->setPalette(white);
  Panel2->setMinimumHeight(32);
  lbDiskName = new QLabel(Panel2);
  // Device text is shown as it is: a model name must not be read as markup.
  lbDiskName->setTextFormat(Qt::PlainText);
  QFont bold = font;
  bold.setBold(true);
  lbDiskName->setFont(bold);
  auto* headerRow = new QHBoxLayout(Panel2);
  headerRow->setContentsMargins(15, 0, 15, 0);
  headerRow->addWidget(lbDiskName);

  pages = new QTabWidget(&window);
  pages->addTab(BuildDetailsPage(&window, *this), QStringLiteral("장치 세부 정보"));
  pages->addTab(BuildFormatPage(&window, *this), QStringLiteral("로우-레벨 포맷"));
  pages->addTab(BuildSmartPage(&window, *this), QStringLiteral("S.M.A.R.T."));
  pages->setCurrentIndex(0);
  pages->setAccessibleName(QStringLiteral("페이지"));

  auto* panel17 = new QWidget(&window);
  panel17->setMinimumHeight(21);
  lbCopyright = new vellumar::windows::LinkLabel(panel17);
  QFont small = DesignFont(QStringLiteral("Tahoma"), 11);
  small.setBold(true);
  lbCopyright->setFont(small);
  lbCopyright->setTextFormat(Qt::PlainText);
  lbCopyright->SetColours(QColor(128, 128, 128), QColor(0, 0, 255), QColor(255, 0, 0));
  auto* footerRow = new QHBoxLayout(panel17);
  footerRow->setContentsMargins(6, 0, 6, 0);
  footerRow->addWidget(lbCopyright);
  footerRow->addStretch(1);

  auto* panel10 = new QWidget(&window);
  auto* panel10Layout = new QVBoxLayout(panel10);
  panel10Layout->setContentsMargins(10, 10, 10, 10);
  panel10Layout->setSpacing(0);
  panel10Layout->addWidget(pages, 1);
  panel10Layout->addWidget(panel17);

  auto* central = new QWidget(&window);
  auto* centralLayout = new QVBoxLayout(central);
  centralLayout->setContentsMargins(0, 0, 0, 0);
  centralLayout->setSpacing(0);
  centralLayout->addWidget(Panel2);
  centralLayout->addWidget(panel10, 1);
  window.setCentralWidget(central);

  StatusBar = window.statusBar();
  StatusBar->setMinimumHeight(20);
  StatusBar->setSizeGripEnabled(true);
  // Each panel is as wide as its text; the second takes what is left.
  for (QLabel*& panel : StatusPanels) {
    panel = new QLabel(StatusBar);
    panel->setTextFormat(Qt::PlainText);
  }
  StatusPanels[2]->setMinimumWidth(50);
  StatusPanels[2]->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  StatusBar->addWidget(StatusPanels[0]);
  StatusBar->addWidget(StatusPanels[1], 1);
  StatusBar->addPermanentWidget(StatusPanels[2]);
}

}  // namespace vellumar::desktop

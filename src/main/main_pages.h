#pragma once

#include <QCheckBox>
#include <QComboBox>
#include <QFont>
#include <QLabel>
#include <QMainWindow>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QStatusBar>
#include <QTabWidget>

#include "windows/link_label.h"

namespace vellumar::desktop {

// The first page: the drive's identification report.
struct DetailsPage {
  QWidget* TabSheet3 = nullptr;
  QPlainTextEdit* Log_Details = nullptr;
};

// The second page: the run's log, its progress and the controls that start, stop and record it.
struct FormatPage {
  QWidget* TabSheet1 = nullptr;
  QPlainTextEdit* Log_BenchMark = nullptr;
  QLabel* lbPhase = nullptr;  // what the run is doing: formatting, verifying
  QLabel* lbTimes = nullptr;  // elapsed, and an estimate of what is left
  QProgressBar* pbCurrentTask = nullptr;
  QLabel* lbCurrentPercent = nullptr;
  QLabel* lbSpeed = nullptr;
  QLabel* lbCurrentPosition = nullptr;
  QCheckBox* cbQuickWipe = nullptr;
  QLabel* lbMethod = nullptr;
  QComboBox* cbMethod = nullptr;  // the zero fill or one of the drive's own erase commands
  QLabel* lbVerify = nullptr;
  QComboBox* cbVerify = nullptr;  // none, sample, full: the read-back check after a completed run
  QPushButton* btSaveReport = nullptr;
  QPushButton* btStop = nullptr;
  QPushButton* btRunBenchmarks = nullptr;
};

// The third page: the S.M.A.R.T. report and the button that fetches it.
struct SmartPage {
  QWidget* TabSheet2 = nullptr;
  QPlainTextEdit* Log_Smart = nullptr;
  QPushButton* btGetSmart = nullptr;
};

// The main window's widgets: the header with the drive's name, the three pages, the footer link
// and the status bar. The window inherits them, so they keep their names on it.
struct MainWidgets : DetailsPage, FormatPage, SmartPage {
  // Builds the whole tree into `window`, the header in bold `font`.
  void BuildWidgets(QMainWindow& window, const QFont& font);

  QWidget* Panel2 = nullptr;
  QLabel* lbDiskName = nullptr;
  QStatusBar* StatusBar = nullptr;
  QLabel* StatusPanels[3] = {};
  QTabWidget* pages = nullptr;
  vellumar::windows::LinkLabel* lbCopyright = nullptr;
};

}  // namespace vellumar::desktop

#pragma once

#include <QDialog>
#include <QLabel>
#include <QPushButton>
#include <QStatusBar>
#include <QStringList>
#include <QTreeWidget>
#include <cstdint>
#include <functional>

#include "devices/base/drive_record.h"
#include "devices/user/user_session.h"
#include "windows/link_label.h"

namespace vellumar::windows {

// Drives below this many sectors cannot be chosen.
inline constexpr std::int64_t kMinimumChooserSectors = 65535;
// Bus, device node, model, firmware, serial, LBA, capacity.
inline constexpr int kChooserColumns = 7;

// The modal drive chooser. Row r stands for catalogue slot r + 1; Continue records the choice
// in the catalogue, every other way out leaves it unchosen.
class TFmChoose : public QDialog {
  Q_OBJECT

 public:
  explicit TFmChoose(vellumar::DeviceCatalogue& catalogue, QWidget* parent = nullptr);

  // Column texts in order: bus, device node, model, firmware, serial, LBA, capacity.
  void AddDriveRow(const QStringList& columns);
  // The rows after the drives changed; the selection stays only on the same drive.
  void ReplaceDriveRows(const QList<QStringList>& rows);
  // While the drives are probed again, Continue waits for the new rows.
  void SetRefreshing(bool refreshing);
  void SetStatusText(const QString& text);
  QString StatusText() const;

  // How the refusal and the missing-tool notes reach the user; tests replace it.
  std::function<void(const QString& text, const QString& caption)> InformationBox;
  // Starts the disk tool and the browser as the person at the desk; the program sets it.
  vellumar::ProgramLauncher* Launcher = nullptr;

  QLabel* lbProgramName;
  LinkLabel* Label1;
  QTreeWidget* DriveList;
  LinkLabel* lbDiskManagement;
  QLabel* Label2;
  QLabel* lbCopyright;
  QPushButton* btContinue;
  QStatusBar* StatusBar;

 protected:
  void showEvent(QShowEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void BuildLayout();
  void FitColumns();
  bool HoldsRunningSystem(int row) const;
  void UpdateContinue();
  void btContinueClick();
  void lbDiskManagementClick();

  vellumar::DeviceCatalogue& catalogue_;
  QLabel* statusText_;
  bool refreshing_ = false;
};

}  // namespace vellumar::windows

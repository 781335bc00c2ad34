#pragma once

#include <QObject>
#include <QTimer>
#include <vector>

#include "devices/catalogue/drive_watch.h"

class QSocketNotifier;

namespace vellumar::desktop {

// Follows drives that come and go through a DriveWatch: its announcements as they arrive, and
// a look every two seconds for where none arrive (containers).
class DriveWatcher : public QObject {
  Q_OBJECT

 public:
  static constexpr int kScanIntervalMs = 2'000;

  // Takes stock at once; changes from then on are signalled.
  explicit DriveWatcher(vellumar::DriveWatch& watch, QObject* parent = nullptr);

  const std::vector<vellumar::PresentDisk>& Disks() const { return disks_; }

 public slots:
  void Poll();

 signals:
  // The disks present changed; Disks() has them.
  void Changed();

 private:
  vellumar::DriveWatch& watch_;
  QSocketNotifier* notifier_ = nullptr;
  QTimer timer_;
  std::vector<vellumar::PresentDisk> disks_;
};

}  // namespace vellumar::desktop

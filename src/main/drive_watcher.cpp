#include "main/drive_watcher.h"

#include <QSocketNotifier>

namespace vellumar::desktop {

DriveWatcher::DriveWatcher(vellumar::DriveWatch& watch, QObject* parent) : QObject(parent), watch_(watch) {
  watch_.Poll(disks_);
  if (const int handle = watch_.AnnouncementHandle(); handle >= 0) {
    notifier_ = new QSocketNotifier(handle, QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, &DriveWatcher::Poll);
  }
  timer_.setInterval(kScanIntervalMs);
  connect(&timer_, &QTimer::timeout, this, &DriveWatcher::Poll);
  timer_.start();
}

void DriveWatcher::Poll() {
  if (watch_.Poll(disks_)) {
    emit Changed();
  }
}

}  // namespace vellumar::desktop

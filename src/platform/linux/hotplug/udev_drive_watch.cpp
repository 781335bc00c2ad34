#include "platform/linux/hotplug/udev_drive_watch.h"

#include <libudev.h>

#include "platform/linux/hotplug/disk_scan.h"

namespace vellumar::platform {

UdevDriveWatch::UdevDriveWatch(std::string sysfsRoot, bool announcements) : sysfsRoot_(std::move(sysfsRoot)) {
  if (!announcements) {
    return;
  }
  udev_ = udev_new();
  if (udev_ != nullptr) {
    // udev's own announcements come after its rules ran, so the device node exists by then.
    monitor_ = udev_monitor_new_from_netlink(udev_, "udev");
  }
  if (monitor_ != nullptr && (udev_monitor_filter_add_match_subsystem_devtype(monitor_, "block", "disk") < 0 ||
                              udev_monitor_enable_receiving(monitor_) < 0)) {
    udev_monitor_unref(monitor_);
    monitor_ = nullptr;
  }
}

UdevDriveWatch::~UdevDriveWatch() {
  if (monitor_ != nullptr) {
    udev_monitor_unref(monitor_);
  }
  if (udev_ != nullptr) {
    udev_unref(udev_);
  }
}

int UdevDriveWatch::AnnouncementHandle() const { return monitor_ != nullptr ? udev_monitor_get_fd(monitor_) : -1; }

bool UdevDriveWatch::DrainAnnouncements() {
  bool announced = false;
  if (monitor_ == nullptr) {
    return false;
  }
  // The monitor's socket does not block: this ends when nothing more is queued.
  while (udev_device* device = udev_monitor_receive_device(monitor_)) {
    announced = true;
    udev_device_unref(device);
  }
  return announced;
}

bool UdevDriveWatch::Poll(std::vector<vellumar::PresentDisk>& disks) {
  const bool announced = DrainAnnouncements();
  disks = ScanPresentDisks(sysfsRoot_);
  const bool changed = polled_ && (announced || disks != last_);
  polled_ = true;
  last_ = disks;
  return changed;
}

}  // namespace vellumar::platform

#pragma once

#include <memory>
#include <string>
#include <vector>

#include "devices/catalogue/drive_watch.h"

struct udev;
struct udev_monitor;

namespace vellumar::platform {

// Drives that come and go: udev's announcements for whole disks where udev runs, and in any
// case a look at `sysfsRoot`/block on every poll (containers get no announcements).
class UdevDriveWatch final : public vellumar::DriveWatch {
 public:
  // `announcements` false leaves udev out, for tests on a fake tree.
  explicit UdevDriveWatch(std::string sysfsRoot, bool announcements = true);
  ~UdevDriveWatch() override;
  UdevDriveWatch(const UdevDriveWatch&) = delete;
  UdevDriveWatch& operator=(const UdevDriveWatch&) = delete;

  int AnnouncementHandle() const override;
  bool Poll(std::vector<vellumar::PresentDisk>& disks) override;

 private:
  bool DrainAnnouncements();

  std::string sysfsRoot_;
  udev* udev_ = nullptr;
  udev_monitor* monitor_ = nullptr;
  std::vector<vellumar::PresentDisk> last_;
  bool polled_ = false;
};

}  // namespace vellumar::platform

#include "main/drive_rescan.h"

#include <exception>

#include "windows/window_texts.h"

namespace vellumar::desktop {

DriveRescan::DriveRescan(MainServices& services, vellumar::Clock& clock, vellumar::LocaleSettings locale,
                         QObject* parent)
    : QObject(parent), services_(services), clock_(clock), locale_(std::move(locale)) {
  connect(this, &DriveRescan::ProbeEnded, this, &DriveRescan::End, Qt::QueuedConnection);
}

DriveRescan::~DriveRescan() { Join(); }

void DriveRescan::Request() {
  if (Busy()) {
    again_ = true;
    return;
  }
  Start();
}

void DriveRescan::Start() {
  again_ = false;
  worker_ = std::thread([this] {
    // Logs of its own without writers: the start-up lines and the trail are not written again.
    vellumar::LogSinks quiet(clock_, locale_);
    vellumar::DeviceCatalogue catalogue;
    QString status;
    try {
      const vellumar::EnumerationResult found = services_.EnumerateDevices(catalogue, quiet, {});
      status = vellumar::windows::FromUtf8(found.StatusText);
    } catch (const std::exception&) {
      // A probe that breaks off shows what it found so far; the next change probes again.
    }
    emit ProbeEnded(catalogue, status);
  });
}

void DriveRescan::End(const vellumar::DeviceCatalogue& catalogue, const QString& statusText) {
  Join();
  if (again_) {
    Start();
  }
  emit Probed(catalogue, statusText);
}

void DriveRescan::Join() {
  if (worker_.joinable()) {
    worker_.join();
  }
}

}  // namespace vellumar::desktop

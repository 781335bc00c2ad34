#pragma once

#include <QObject>
#include <QString>
#include <thread>

#include "devices/base/clock.h"
#include "devices/base/drive_record.h"
#include "devices/base/locale_settings.h"
#include "main/main_services.h"

namespace vellumar::desktop {

// Probes the drives again on its own thread after they changed, into a catalogue of its own,
// so a slow drive never stops the window; nothing of the probe reaches the logs the user reads.
// While it is busy the services' probe no longer matches the catalogue shown: the chooser
// must not take a row until Probed has been handled.
class DriveRescan : public QObject {
  Q_OBJECT

 public:
  DriveRescan(MainServices& services, vellumar::Clock& clock, vellumar::LocaleSettings locale,
              QObject* parent = nullptr);
  ~DriveRescan() override;

  // Probes now, or once more after the probe under way.
  void Request();
  bool Busy() const { return worker_.joinable(); }
  void Join();

 signals:
  // A probe ended; Busy() tells whether another one follows.
  void Probed(const vellumar::DeviceCatalogue& catalogue, const QString& statusText);
  // From the probe's thread to this object's.
  void ProbeEnded(const vellumar::DeviceCatalogue& catalogue, const QString& statusText);

 private:
  void Start();
  void End(const vellumar::DeviceCatalogue& catalogue, const QString& statusText);

  MainServices& services_;
  vellumar::Clock& clock_;
  vellumar::LocaleSettings locale_;
  std::thread worker_;
  bool again_ = false;
};

}  // namespace vellumar::desktop

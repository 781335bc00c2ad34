#include "cli/drive_catalogue.h"

#include "platform/linux/sysfs/linux_platform_info.h"
#include "platform/linux/volumes/linux_volume_system.h"

namespace vellumar::cli {

CliCatalogue LoadCatalogue(CliEnvironment& env, vellumar::LogSinks& logs, const std::vector<std::string>& parameters) {
  CliCatalogue loaded;
  loaded.Prober = std::make_unique<vellumar::platform::LinuxDriveProber>(env.SysfsRoot, env.DevRoot);
  vellumar::platform::LinuxVolumeSystem volumes(env.SysfsRoot, env.ProcRoot, env.DevRoot);
  volumes.SetDiskOrder(loaded.Prober->Disks());
  vellumar::platform::LinuxPlatformInfo platform(env.SysfsRoot, env.ProcRoot);
  vellumar::EnumerationServices services{logs, *loaded.Prober, volumes, platform, nullptr};
  loaded.Result = vellumar::EnumerateDevices(parameters, loaded.Catalogue, services);
  return loaded;
}

}  // namespace vellumar::cli

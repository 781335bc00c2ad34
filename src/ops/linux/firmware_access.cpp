#include "ops/linux/firmware_access.h"

#include <array>
#include <chrono>
#include <stdexcept>
#include <thread>

#include "devices/firmware/ata_firmware_commands.h"
#include "platform/linux/ata/sg_ata_command_channel.h"
#include "platform/linux/host/own_files.h"
#include "platform/linux/io/drive_handle.h"
#include "platform/linux/io/linux_block_device.h"
#include "platform/linux/io/read_only_device.h"
#include "platform/linux/nvme/linux_nvme_admin.h"
#include "platform/linux/nvme/nvme_namespaces.h"
#include "platform/linux/sysfs/sysfs_files.h"

namespace vellumar::ops {

namespace {

// The run's handle is the platform's own block device; its descriptor carries the commands.
int DescriptorOf(BlockDevice& run) {
  auto* device = dynamic_cast<platform::LinuxBlockDevice*>(&run);
  return device != nullptr ? device->Descriptor() : -1;
}

void ReadNvmeFacts(platform::LinuxNvmeAdminChannel& nvme, FirmwareFacts& facts) {
  NvmePages pages;
  std::string reason;
  if (!ReadNvmePages(nvme, NvmePageSet::Identity, pages, reason)) {
    return;
  }
  facts.Nvme = DecodeNvmeController(pages.Controller);
  facts.NamespaceId = pages.NamespaceId;
  facts.LbaFormat = DecodeNvmeNamespace(pages.Namespace).ActiveFormat;
  const NvmeController& c = *facts.Nvme;
  if (c.SanitizeCryptoErase || c.SanitizeBlockErase || c.SanitizeOverwrite) {
    // Controllers without Sanitize refuse its log; only those with it are asked.
    std::array<std::uint8_t, kNvmeSanitizeLogBytes> page{};
    if (nvme.Execute(SanitizeLogCommand(), page).Outcome == NvmeAdminOutcome::Completed) {
      facts.NvmeSanitize = DecodeNvmeSanitizeLog(page);
    }
  }
}

}  // namespace

FirmwarePath FirmwarePathOf(const TDeviceTable& entry, std::string& bridge) {
  if (entry.IsFile) {
    return FirmwarePath::None;
  }
  switch (entry.IdentifyData.BusType) {
    case kBusNvme:
      return FirmwarePath::Nvme;
    case kBusAta:
    case kBusSata:
      return FirmwarePath::Ata;
    case kBusUsb:
      bridge = "USB";
      return FirmwarePath::AtaBridge;
    case kBus1394:
      bridge = "FireWire";
      return FirmwarePath::AtaBridge;
    case kBusScsi:
    case kBusSas:
      bridge = "SCSI or SAS";
      return FirmwarePath::AtaBridge;
    default:
      return FirmwarePath::None;
  }
}

LinuxFirmwareAccess::LinuxFirmwareAccess(TDeviceTable entry, platform::PinnedIdentity pin, std::string sysfsRoot,
                                         std::string devRoot)
    : entry_(std::move(entry)), pin_(std::move(pin)), sysfsRoot_(std::move(sysfsRoot)), devRoot_(std::move(devRoot)) {}

LinuxFirmwareAccess::~LinuxFirmwareAccess() = default;

FirmwareFacts LinuxFirmwareAccess::FactsThrough(int fd) {
  FirmwareFacts facts;
  facts.Path = FirmwarePathOf(entry_, facts.Bridge);
  if (facts.Path == FirmwarePath::None || fd < 0) {
    return facts;
  }
  if (facts.Path == FirmwarePath::Nvme) {
    platform::LinuxNvmeAdminChannel nvme(fd);
    ReadNvmeFacts(nvme, facts);
    facts.OtherNamespaces = platform::OtherNvmeNamespaces(sysfsRoot_, devRoot_, platform::BaseName(entry_.DevicePath));
    return facts;
  }
  platform::SgAtaCommandChannel ata(fd, entry_.IdentifyData.IsIDESlave);
  facts.Ata = ReadEraseFeatures(ata);
  if (facts.Ata && facts.Ata->SanitizeSupported) {
    facts.AtaSanitize = DecodeAtaSanitizeStatus(ata.Run(AtaSanitizeCommand(AtaSanitizeAction::Status), {}));
  }
  return facts;
}

FirmwareFacts FirmwareFactsOf(const TDeviceTable& entry, const std::string& sysfsRoot, const std::string& devRoot) {
  LinuxFirmwareAccess access(entry, {}, sysfsRoot, devRoot);
  if (entry.IsFile) {
    return access.FactsThrough(-1);
  }
  int error = 0;
  const auto device = platform::LinuxReadOnlyDevice::Open(entry.DevicePath, sysfsRoot, error);
  return access.FactsThrough(device != nullptr ? device->Descriptor() : -1);
}

FirmwareFacts LinuxFirmwareAccess::ReadFacts() {
  std::string error;
  // Only read-only commands go through this shared handle, and only while it is the pinned drive.
  const std::unique_ptr<platform::DriveHandle> handle =
      entry_.IsFile ? nullptr : platform::DriveHandle::Open(entry_.DevicePath, pin_, sysfsRoot_, error);
  return FactsThrough(handle != nullptr ? handle->Descriptor() : -1);
}

FirmwareFacts LinuxFirmwareAccess::ReadFactsOn(BlockDevice& run) { return FactsThrough(DescriptorOf(run)); }

AtaCommandChannel* LinuxFirmwareAccess::AtaOn(BlockDevice& run) {
  std::string bridge;
  const FirmwarePath path = FirmwarePathOf(entry_, bridge);
  const int fd = DescriptorOf(run);
  if (fd < 0 || (path != FirmwarePath::Ata && path != FirmwarePath::AtaBridge)) {
    return nullptr;
  }
  ata_ = std::make_unique<platform::SgAtaCommandChannel>(fd, entry_.IdentifyData.IsIDESlave);
  return ata_.get();
}

NvmeAdminChannel* LinuxFirmwareAccess::NvmeOn(BlockDevice& run) {
  std::string bridge;
  const int fd = DescriptorOf(run);
  if (fd < 0 || FirmwarePathOf(entry_, bridge) != FirmwarePath::Nvme) {
    return nullptr;
  }
  nvme_ = std::make_unique<platform::LinuxNvmeAdminChannel>(fd);
  return nvme_.get();
}

std::string LinuxFirmwareAccess::NewPassword() {
  // Letters and digits only, so that a user who must unlock the drive can type it anywhere.
  static constexpr char kAlphabet[] = "ABCDEFGHJKLMNPQRSTUVWXYZabcdefghijkmnopqrstuvwxyz23456789";
  constexpr std::size_t kSize = sizeof(kAlphabet) - 1;
  std::string password;
  while (password.size() < 20) {
    std::uint8_t byte = 0;
    if (!platform::RandomBytes(&byte, 1)) {
      throw std::runtime_error("no random bytes for the security password");
    }
    // Rejection keeps every character equally likely.
    if (byte < 256 - (256 % kSize)) {
      password += kAlphabet[byte % kSize];
    }
  }
  return password;
}

void LinuxFirmwareAccess::Pause(std::uint32_t seconds) { std::this_thread::sleep_for(std::chrono::seconds(seconds)); }

}  // namespace vellumar::ops

#include "platform/linux/sysfs/sysfs_bus.h"

#include <regex>

#include "devices/base/drive_record.h"
#include "platform/linux/sysfs/sysfs_files.h"

namespace vellumar::platform {

namespace {

constexpr std::uint32_t kFallbackTransferLength = 65536;

bool Contains(const std::string& path, const char* pattern) { return std::regex_search(path, std::regex(pattern)); }

bool ReportsSataSpeed(const std::string& sysfsRoot, const std::string& path) {
  std::smatch match;
  if (!std::regex_search(path, match, std::regex("^(.*/ata([0-9]+))/"))) {
    return false;
  }
  const std::string ataDir = match[1].str();
  const std::string port = match[2].str();
  // A port multiplier hands each disk its own link, numbered by the disk's SCSI channel.
  std::string channel;
  std::smatch address;
  if (std::regex_search(path, address, std::regex("/[0-9]+:([0-9]+):[0-9]+:[0-9]+/block/"))) {
    channel = address[1].str();
  }
  for (const std::string& link : {JoinPath({"link", port, ".", channel}), JoinPath({"link", port})}) {
    const std::optional<std::string> speed =
        ReadAttribute(JoinPath({ataDir, "/", link, "/ata_link/", link, "/sata_spd"}));
    if (speed) {
      return speed->find("Gbps") != std::string::npos;
    }
  }
  const std::optional<std::string> speed = ReadAttribute(sysfsRoot + "/class/ata_link/link" + port + "/sata_spd");
  return speed && speed->find("Gbps") != std::string::npos;
}

}  // namespace

std::string ScsiAddressOf(const std::string& sysfsRoot, const std::string& disk) {
  const std::optional<std::string> path = ResolvedPath(sysfsRoot + "/block/" + disk);
  std::smatch match;
  if (path && std::regex_search(*path, match, std::regex("/([0-9]+:[0-9]+:[0-9]+:[0-9]+)/block/"))) {
    return match[1].str();
  }
  return "";
}

std::optional<std::uint8_t> ClassifyBus(const std::string& sysfsRoot, const std::string& disk) {
  if (disk.starts_with("loop")) {
    return static_cast<std::uint8_t>(kBusFileBackedVirtual);
  }
  if (disk.starts_with("nvme")) {
    return static_cast<std::uint8_t>(kBusNvme);
  }
  const std::string blockDir = sysfsRoot + "/block/" + disk;
  if (disk.starts_with("mmcblk")) {
    return static_cast<std::uint8_t>(ReadAttribute(blockDir + "/device/type").value_or("") == "SD" ? kBusSd : kBusMmc);
  }
  const std::optional<std::string> resolved = ResolvedPath(blockDir);
  const std::string path = resolved.value_or("");
  // A USB bridge in front of a SATA disk still makes a USB disk, so USB is looked for first.
  if (Contains(path, "/usb[0-9]+/")) {
    return static_cast<std::uint8_t>(kBusUsb);
  }
  if (disk.starts_with("xvd") || disk.starts_with("vd") || Contains(path, "/vbd-") ||
      Contains(path, "/virtio[0-9]+/")) {
    return static_cast<std::uint8_t>(kBusVirtual);
  }
  if (Contains(path, "/ata[0-9]+/")) {
    return static_cast<std::uint8_t>(ReportsSataSpeed(sysfsRoot, path) ? kBusSata : kBusAta);
  }
  if (Contains(path, "/ide[0-9]+/")) {
    return static_cast<std::uint8_t>(kBusAta);
  }
  if (Contains(path, "/session[0-9]+/")) {
    return static_cast<std::uint8_t>(kBusIscsi);
  }
  if (Contains(path, "/end_device-") || Contains(path, "/port-[0-9]")) {
    return static_cast<std::uint8_t>(kBusSas);
  }
  if (Contains(path, "/fw[0-9]+")) {
    return static_cast<std::uint8_t>(kBus1394);
  }
  if (Contains(path, "/host[0-9]+/") && Contains(path, "/target[0-9]")) {
    return static_cast<std::uint8_t>(kBusScsi);
  }
  return std::nullopt;
}

bool ReadAdapterFacts(const std::string& sysfsRoot, const std::string& disk, vellumar::StorageAdapterFacts& adapter) {
  const std::optional<std::uint8_t> bus = ClassifyBus(sysfsRoot, disk);
  if (!bus) {
    return false;
  }
  adapter.BusType = *bus;
  adapter.MaximumTransferLength = kFallbackTransferLength;
  const std::optional<std::string> kilobytes = ReadAttribute(sysfsRoot + "/block/" + disk + "/queue/max_hw_sectors_kb");
  if (kilobytes && !kilobytes->empty()) {
    try {
      const unsigned long value = std::stoul(*kilobytes);
      // A reply larger than 4 GiB does not fit the descriptor's field; no drive needs more than this.
      adapter.MaximumTransferLength = value >= 4'194'304UL ? 0xFFFFFFFFU : static_cast<std::uint32_t>(value * 1024UL);
    } catch (const std::exception&) {
      adapter.MaximumTransferLength = kFallbackTransferLength;
    }
  }
  return true;
}

bool DetectIdeSlave(const std::string& sysfsRoot, const std::string& disk) {
  const std::string address = ScsiAddressOf(sysfsRoot, disk);
  std::smatch match;
  if (!std::regex_match(address, match, std::regex("[0-9]+:[0-9]+:([0-9]+):[0-9]+"))) {
    return false;
  }
  const std::string target = match[1].str();
  return ((target.back() - '0') % 2) == 1;
}

}  // namespace vellumar::platform

#include "platform/linux/sysfs/sysfs_device_strings.h"

#include <regex>
#include <sstream>

#include "devices/base/drive_record.h"
#include "devices/base/text_format.h"
#include "platform/linux/sysfs/scsi_inquiry.h"
#include "platform/linux/sysfs/sysfs_bus.h"
#include "platform/linux/sysfs/sysfs_files.h"

namespace vellumar::platform {

namespace {

constexpr std::size_t kIdentifySize = 512;
// The ATA Information page carries the IDENTIFY data from this byte on.
constexpr std::size_t kPage89IdentifyAt = 60;
constexpr std::uint8_t kPage89Code = 0x89;
constexpr std::size_t kPage89CommandCodeAt = 56;
constexpr std::uint8_t kIdentifyDeviceCommand = 0xEC;

std::string AtaString(const std::vector<std::uint8_t>& identify, std::size_t firstWord, std::size_t words) {
  std::string text;
  for (std::size_t w = firstWord; w < firstWord + words; ++w) {
    text.push_back(static_cast<char>(identify[2 * w + 1]));
    text.push_back(static_cast<char>(identify[2 * w]));
  }
  return vellumar::TrimText(text);
}

std::string Attribute(const std::string& path) { return vellumar::TrimText(ReadAttribute(path).value_or("")); }

std::optional<std::vector<std::uint8_t>> ParseIdentifyWords(const std::string& text) {
  std::istringstream words(text);
  std::vector<std::uint8_t> identify;
  std::string word;
  while (words >> word && identify.size() < kIdentifySize) {
    try {
      const unsigned long value = std::stoul(word, nullptr, 16);
      identify.push_back(static_cast<std::uint8_t>(value & 0xFFU));
      identify.push_back(static_cast<std::uint8_t>((value >> 8U) & 0xFFU));
    } catch (const std::exception&) {
      return std::nullopt;
    }
  }
  if (identify.size() != kIdentifySize) {
    return std::nullopt;
  }
  return identify;
}

// The serial of a USB disk without a serial page: the USB device's own serial string.
std::string UsbSerial(const std::string& sysfsRoot, const std::string& disk) {
  std::string path = ResolvedPath(sysfsRoot + "/block/" + disk).value_or("");
  while (path.size() > 1) {
    path = path.substr(0, path.find_last_of('/'));
    if (PathExists(path + "/idVendor")) {
      return Attribute(path + "/serial");
    }
  }
  return "";
}

std::string ScsiSerial(const std::string& sysfsRoot, const std::string& disk, std::uint8_t bus, int fd) {
  const std::optional<std::vector<std::uint8_t>> page =
      ReadBinaryFile(sysfsRoot + "/block/" + disk + "/device/vpd_pg80");
  std::string serial = page ? SerialFromVpdPage80(*page) : "";
  if (serial.empty() && fd >= 0) {
    if (const auto asked = InquiryVpdPage(fd, 0x80)) {
      serial = SerialFromVpdPage80(*asked);
    }
  }
  if (serial.empty() && bus == vellumar::kBusUsb) {
    serial = UsbSerial(sysfsRoot, disk);
  }
  return serial;
}

}  // namespace

AtaIdentityStrings AtaStringsFromIdentify(const std::vector<std::uint8_t>& identify) {
  AtaIdentityStrings strings;
  if (identify.size() < kIdentifySize) {
    return strings;
  }
  strings.Serial = AtaString(identify, 10, 10);
  strings.Firmware = AtaString(identify, 23, 4);
  strings.Model = AtaString(identify, 27, 20);
  return strings;
}

std::optional<std::vector<std::uint8_t>> ReadKernelIdentify(const std::string& sysfsRoot, const std::string& disk) {
  const std::string device = sysfsRoot + "/block/" + disk + "/device";
  // The ATA Information page carries the IDENTIFY DEVICE sector only with page code 0x89 and
  // command code 0xEC (0xA1 would be IDENTIFY PACKET DEVICE, another layout).
  if (const auto page = ReadBinaryFile(device + "/vpd_pg89")) {
    if (page->size() >= kPage89IdentifyAt + kIdentifySize && (*page)[1] == kPage89Code &&
        (*page)[kPage89CommandCodeAt] == kIdentifyDeviceCommand) {
      return std::vector<std::uint8_t>(page->begin() + kPage89IdentifyAt,
                                       page->begin() + kPage89IdentifyAt + kIdentifySize);
    }
  }
  // The ata_device of a disk is devN.T: its port and, on a parallel channel, its target number.
  const std::optional<std::string> path = ResolvedPath(sysfsRoot + "/block/" + disk);
  std::smatch port;
  std::smatch address;
  const std::string scsi = ScsiAddressOf(sysfsRoot, disk);
  if (!path || !std::regex_search(*path, port, std::regex("/ata([0-9]+)/")) ||
      !std::regex_match(scsi, address, std::regex("[0-9]+:[0-9]+:([0-9]+):[0-9]+"))) {
    return std::nullopt;
  }
  const std::string name = "dev" + port[1].str() + "." + address[1].str();
  return ParseIdentifyWords(ReadTextFile(sysfsRoot + "/class/ata_device/" + name + "/id"));
}

std::string SerialFromVpdPage80(const std::vector<std::uint8_t>& page) {
  if (page.size() < 4 || page[1] != 0x80) {
    return "";
  }
  const std::size_t length = (static_cast<std::size_t>(page[2]) << 8U) | page[3];
  std::string serial;
  for (std::size_t i = 4; i < page.size() && i < 4 + length; ++i) {
    serial.push_back(static_cast<char>(page[i]));
  }
  return vellumar::TrimText(serial);
}

vellumar::DeviceStrings ReadDeviceStrings(const std::string& sysfsRoot, const std::string& disk, std::uint8_t bus,
                                          int fd) {
  vellumar::DeviceStrings strings;
  const std::string blockDir = sysfsRoot + "/block/" + disk;
  const std::string device = blockDir + "/device";
  strings.BusType = bus;
  strings.Removable = Attribute(blockDir + "/removable") == "1";
  if (disk.starts_with("loop")) {
    return strings;
  }
  if (disk.starts_with("nvme")) {
    strings.Product = Attribute(device + "/model");
    strings.Revision = Attribute(device + "/firmware_rev");
    strings.Serial = Attribute(device + "/serial");
    return strings;
  }
  if (disk.starts_with("mmcblk")) {
    strings.Product = Attribute(device + "/name");
    strings.Revision = Attribute(device + "/fwrev");
    strings.Serial = Attribute(device + "/serial");
    return strings;
  }
  if (disk.starts_with("vd") || disk.starts_with("xvd")) {
    strings.Serial = Attribute(blockDir + "/serial");
    return strings;
  }
  const bool libata = bus == vellumar::kBusAta || bus == vellumar::kBusSata || Attribute(device + "/vendor") == "ATA";
  if (libata) {
    if (const auto identify = ReadKernelIdentify(sysfsRoot, disk)) {
      // The platform's descriptor carries an ATA disk with an empty vendor string.
      const AtaIdentityStrings ata = AtaStringsFromIdentify(*identify);
      strings.Product = ata.Model;
      strings.Revision = ata.Firmware;
      strings.Serial = ata.Serial;
      return strings;
    }
  }
  strings.Vendor = Attribute(device + "/vendor");
  strings.Product = Attribute(device + "/model");
  strings.Revision = Attribute(device + "/rev");
  strings.Serial = ScsiSerial(sysfsRoot, disk, bus, fd);
  return strings;
}

}  // namespace vellumar::platform

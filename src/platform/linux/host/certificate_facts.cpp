#include "platform/linux/host/certificate_facts.h"

#include <sys/sysmacros.h>
#include <sys/utsname.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>

#include "devices/base/units.h"
#include "platform/linux/sysfs/sysfs_disks.h"
#include "platform/linux/sysfs/sysfs_files.h"

namespace vellumar::platform {

namespace {

std::string Printable(const std::string& text) {
  std::string clean;
  for (const char c : text) {
    if (static_cast<unsigned char>(c) >= 0x20 && c != 0x7F) {
      clean += c;
    }
  }
  return clean;
}

// The by-id link that names `name`; ata-, nvme-, scsi- and usb- names before wwn- ones, which
// say less to a person.
std::string ByIdName(const std::string& devRoot, const std::string& name) {
  const std::string folder = devRoot + "/disk/by-id";
  std::vector<std::string> matches;
  for (const std::string& entry : ListFolder(folder)) {
    // The link is read, never followed: /dev is the system's, but the check costs nothing.
    std::array<char, 512> target{};
    const std::string link = JoinPath({folder, "/", entry});
    const ssize_t length = ::readlink(link.c_str(), target.data(), target.size() - 1);
    if (length <= 0) {
      continue;
    }
    const std::string text(target.data(), static_cast<std::size_t>(length));
    const auto slash = text.find_last_of('/');
    if ((slash == std::string::npos ? text : text.substr(slash + 1)) == name) {
      matches.push_back(link);
    }
  }
  std::sort(matches.begin(), matches.end(), [&](const std::string& a, const std::string& b) {
    const bool aw = a.find("/wwn-") != std::string::npos;
    const bool bw = b.find("/wwn-") != std::string::npos;
    return aw != bw ? bw : a < b;
  });
  return matches.empty() ? std::string() : Printable(matches.front());
}

}  // namespace

void ReadHostFacts(vellumar::ErasureCertificate& certificate) {
  struct utsname names {};
  if (::uname(&names) == 0) {
    certificate.Host = Printable(names.nodename);
    certificate.Kernel = Printable(std::string(names.sysname) + " " + names.release);
  }
}

std::string IsoLocalTime(std::time_t moment) {
  std::tm local{};
  ::localtime_r(&moment, &local);
  std::array<char, 40> text{};
  std::strftime(text.data(), text.size(), "%Y-%m-%dT%H:%M:%S%z", &local);
  const std::string iso(text.data());
  // strftime's +0100 becomes ISO 8601's extended +01:00.
  const std::size_t cut = iso.size() >= 2 ? iso.size() - 2 : 0;
  return iso.substr(0, cut) + ":" + iso.substr(cut);
}

std::string UtcStamp(std::time_t moment) {
  std::tm utc{};
  ::gmtime_r(&moment, &utc);
  std::array<char, 24> text{};
  std::strftime(text.data(), text.size(), "%Y%m%dT%H%M%SZ", &utc);
  return text.data();
}

void ReadDriveFacts(dev_t rdev, const std::string& sysfsRoot, const std::string& devRoot,
                    vellumar::CertificateDrive& drive) {
  drive.PhysicalSectorSize = drive.LogicalSectorSize;
  if (rdev == 0) {
    return;
  }
  const auto name = BlockNameOf(sysfsRoot, major(rdev), minor(rdev));
  if (!name) {
    return;
  }
  const std::string block = JoinPath({sysfsRoot, "/block/", *name});
  if (const auto physical = ReadAttribute(block + "/queue/physical_block_size")) {
    const long long value = std::atoll(physical->c_str());
    if (value >= drive.LogicalSectorSize && value <= kMiB) {
      drive.PhysicalSectorSize = value;
    }
  }
  if (const auto rotational = ReadAttribute(block + "/queue/rotational")) {
    drive.Rotational = *rotational == "1";
  }
  // sysfs `wwid` also holds vendor identifiers ("t10.ATA ..."); only NAA and EUI-64 names are
  // world wide names.
  for (const char* attribute : {"/device/wwid", "/wwid"}) {
    const auto wwid = ReadAttribute(block + attribute);
    if (wwid && (wwid->rfind("naa.", 0) == 0 || wwid->rfind("eui.", 0) == 0)) {
      drive.Wwn = Printable(*wwid);
      break;
    }
  }
  drive.ById = ByIdName(devRoot, *name);
}

}  // namespace vellumar::platform

// What a disk says about itself through sysfs: the input is written into every file that
// ReadDeviceStrings reads (ATA Information page, the ata_device's IDENTIFY words, the Unit
// Serial Number page, vendor, model, revision, the NVMe attributes) of a throw-away tree, and
// the strings go on through the descriptor into the drive's record. The input is also read as
// a raw descriptor and as a hexadecimal serial.
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "devices/catalogue/hex_serial.h"
#include "devices/catalogue/storage_identification.h"
#include "fuzz_support.h"
#include "platform/linux/sysfs/sysfs_device_strings.h"
#include "support/fake_clock.h"

namespace {

using namespace vellumar;
namespace fs = std::filesystem;

constexpr const char* kScsiDevice = "/devices/pci0000:00/0000:00:1f.2/ata1/host0/target0:0:0/0:0:0:0";
constexpr const char* kNvmeDevice = "/devices/pci0000:00/0000:00:1d.0/nvme/nvme0";

// A fake sysfs with one libata disk (sda) and one NVMe disk (nvme0n1), under $TMPDIR.
class FakeTree {
 public:
  FakeTree() {
    std::string pattern = (fs::temp_directory_path() / "vellumar-fuzz-sysfs-XXXXXX").string();
    root_ = ::mkdtemp(pattern.data()) != nullptr ? pattern : "";
    AddDisk("sda", kScsiDevice);
    AddDisk("nvme0n1", kNvmeDevice);
  }
  ~FakeTree() {
    std::error_code ignored;
    fs::remove_all(root_, ignored);
  }
  FakeTree(const FakeTree&) = delete;
  FakeTree& operator=(const FakeTree&) = delete;

  std::string Sys() const { return root_ + "/sys"; }

  void WriteAll(const std::string& bytes) const {
    for (const char* name : {"vpd_pg89", "vpd_pg80", "vendor", "model", "rev"}) {
      Write(Sys() + kScsiDevice + "/" + name, bytes);
    }
    Write(Sys() + "/class/ata_device/dev1.0/id", bytes);
    for (const char* name : {"model", "serial", "firmware_rev"}) {
      Write(Sys() + kNvmeDevice + "/" + name, bytes);
    }
  }

 private:
  void AddDisk(const std::string& name, const std::string& device) const {
    const std::string folder = Sys() + device + "/block/" + name;
    fs::create_directories(folder);
    fs::create_directory_symlink(Sys() + device, folder + "/device");
    fs::create_directories(Sys() + "/block");
    fs::create_directory_symlink(folder, Sys() + "/block/" + name);
  }
  // A new file each time: ext4 flushes a file that is truncated and written again on close.
  static void Write(const std::string& path, const std::string& bytes) {
    fs::create_directories(fs::path(path).parent_path());
    fs::remove(path);
    std::ofstream(path, std::ios::binary) << bytes;
  }

  std::string root_;
};

class InputFacts final : public StorageFacts {
 public:
  explicit InputFacts(const DescriptorBuffer& descriptor) : descriptor_(descriptor) {}
  RequestStatus Geometry(std::uint32_t& bytesPerSector) override {
    bytesPerSector = 512;
    return {};
  }
  RequestStatus Length(std::int64_t& length) override {
    length = 512LL * 1'000'000;
    return {};
  }
  bool Adapter(StorageAdapterFacts& adapter) override {
    adapter = {static_cast<std::uint8_t>(kBusSata), 65536};
    return true;
  }
  RequestStatus Device(DescriptorBuffer& buffer) override {
    buffer = descriptor_;
    return {};
  }
  bool DetectIdeSlave() override { return false; }

 private:
  DescriptorBuffer descriptor_;
};

// The record made from a descriptor carries no control character of the drive's.
void Identify(const DescriptorBuffer& descriptor, LogSinks& logs) {
  InputFacts facts(descriptor);
  TIdentifyDeviceData record;
  std::string fatal;
  if (IdentifyStorageDevice(facts, record, logs, fatal) == 0) {
    fuzz::RequireClean(record.Model);
    fuzz::RequireClean(record.FW);
    fuzz::RequireClean(record.SN);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const FakeTree tree;
  static testing::FakeClock clock;
  static LogSinks logs(clock, LocaleSettings{});
  logs.DebugMode = true;  // the debug lines are built, though nobody reads them

  const std::string bytes(reinterpret_cast<const char*>(data), size);
  const std::vector<std::uint8_t> page(data, data + size);
  (void)platform::SerialFromVpdPage80(page);
  (void)platform::AtaStringsFromIdentify(page);
  (void)DecodeHexSerial(bytes, logs);
  Identify(fuzz::Chunk<kDescriptorBufferSize>(data, size), logs);

  tree.WriteAll(bytes);
  for (const auto& [disk, bus] :
       {std::pair{"sda", kBusSata}, std::pair{"sda", kBusUsb}, std::pair{"nvme0n1", kBusNvme}}) {
    Identify(BuildDeviceDescriptor(platform::ReadDeviceStrings(tree.Sys(), disk, static_cast<std::uint8_t>(bus), -1)),
             logs);
  }
  return 0;
}

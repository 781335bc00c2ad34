#pragma once

#include <chrono>
#include <memory>
#include <stdexcept>
#include <string>
#include <thread>

#include "devices/erase/format_controller.h"
#include "ops/erasure_job.h"
#include "support/fake_block_device.h"

namespace vellumar::testing {

// How the run's disk behaves beyond the in-memory bytes.
struct DiskScript {
  int WriteDelayMs = 0;      // each write takes this long, so a test can act during a run
  std::string ThrowOnOpen;   // when set, opening the disk throws this (an engine failure)
  bool InUse = false;        // the exclusive open fails, as for a disk someone holds
  std::string SystemVolume;  // when set, the disk holds the running system ("/ on /dev/sdb2")
};

// The run's handle onto an in-memory disk, which outlives it so a test can look at the bytes.
class SharedDisk final : public vellumar::FormatTarget {
 public:
  SharedDisk(FakeBlockDevice& disk, const DiskScript& script) : disk_(disk), script_(script) {}
  std::string RunningSystemRefusal() override {
    return script_.SystemVolume.empty() ? std::string() : vellumar::RunningSystemRefusalLine(script_.SystemVolume);
  }
  std::unique_ptr<vellumar::BlockDevice> OpenExclusive() override {
    if (!script_.ThrowOnOpen.empty()) {
      throw std::runtime_error(script_.ThrowOnOpen);
    }
    if (script_.InUse) {
      return nullptr;
    }
    return std::make_unique<Handle>(disk_, script_.WriteDelayMs);
  }
  std::string RereadPartitions(vellumar::BlockDevice* /*device*/) override { return {}; }

 private:
  struct Handle final : vellumar::BlockDevice {
    Handle(FakeBlockDevice& disk, int delayMs) : Disk(disk), DelayMs(delayMs) {}
    std::int64_t Seek(std::int64_t offset) override { return Disk.Seek(offset); }
    vellumar::WriteOutcome Write(const std::uint8_t* data, std::int64_t length) override {
      std::this_thread::sleep_for(std::chrono::milliseconds(DelayMs));
      return Disk.Write(data, length);
    }
    std::uint32_t Flush() override { return Disk.Flush(); }
    vellumar::ReadOutcome ReadAt(std::int64_t offset, std::uint8_t* data, std::int64_t length) override {
      return Disk.ReadAt(offset, data, length);
    }
    FakeBlockDevice& Disk;
    int DelayMs;
  };
  FakeBlockDevice& disk_;
  const DiskScript& script_;
};

class FixedInspector final : public vellumar::ops::DriveInspector {
 public:
  explicit FixedInspector(vellumar::ops::DriveInspection inspection) : inspection_(std::move(inspection)) {}
  vellumar::ops::DriveInspection Inspect() override { return inspection_; }

 private:
  vellumar::ops::DriveInspection inspection_;
};

// A host and a clock that never change, so two runs give the same record.
class FixedFacts final : public vellumar::ops::CertificateFacts {
 public:
  void AddHostFacts(vellumar::ErasureCertificate& certificate) override {
    certificate.Host = "testhost";
    certificate.Kernel = "6.1.0-test";
  }
  void AddDriveFacts(vellumar::CertificateDrive& drive) override { drive.ById = "ata-TEST_DISK_" + drive.Serial; }
  std::time_t Now() override { return now_ += 5; }
  std::string IsoTime(std::time_t moment) override { return "at " + std::to_string(moment); }

 private:
  std::time_t now_ = 1'800'000'000;
};

// A drive with a hidden area and a S.M.A.R.T. table, as an ATA disk reports them.
inline vellumar::ops::DriveInspection TwoAttributeInspection() {
  vellumar::ops::DriveInspection inspection;
  inspection.HiddenArea.Status = vellumar::HiddenAreaStatus::Hidden;
  inspection.HiddenArea.ReportedSectors = 70'000;
  inspection.HiddenArea.NativeSectors = 72'048;
  inspection.HiddenArea.HpaHiddenSectors = 2'048;
  inspection.Smart = std::vector<vellumar::SmartAttribute>(2);
  (*inspection.Smart)[0].Id = 5;
  (*inspection.Smart)[1].Id = 194;
  (*inspection.Smart)[1].RawLowByte = 35;
  return inspection;
}

inline vellumar::ops::ErasureParts FakeErasureParts(FakeBlockDevice& disk, const DiskScript& script,
                                                    const vellumar::ops::DriveInspection& inspection) {
  vellumar::ops::ErasureParts parts;
  parts.Volumes = std::make_unique<vellumar::NoVolumes>();
  parts.Target = std::make_unique<SharedDisk>(disk, script);
  parts.Inspector = std::make_unique<FixedInspector>(inspection);
  parts.Facts = std::make_unique<FixedFacts>();
  return parts;
}

}  // namespace vellumar::testing

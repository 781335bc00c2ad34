#include <gtest/gtest.h>

#include <string>

#include "ops/erasure_job.h"
#include "ops/exit_status.h"
#include "support/fake_ata_drive.h"
#include "support/fake_block_device.h"
#include "support/fake_clock.h"
#include "support/fake_erasure_parts.h"
#include "support/log_capture.h"

namespace vellumar::ops {
namespace firmware_job_test {
namespace {

constexpr std::int64_t kSectors = 70'000;

// The drive's firmware as the job sees it: the scripted ATA drive, on any handle.
class FakeFirmware final : public FirmwareAccess {
 public:
  explicit FakeFirmware(testing::FakeAtaDrive& drive) : drive_(drive) {}
  FirmwareFacts ReadFacts() override {
    FirmwareFacts facts;
    facts.Path = FirmwarePath::Ata;
    AtaSector identify{};
    AtaCommand command;
    command.Command = 0xEC;
    drive_.Run(command, identify);
    facts.Ata = DecodeEraseFeatures(identify);
    return facts;
  }
  FirmwareFacts ReadFactsOn(BlockDevice&) override { return ReadFacts(); }
  AtaCommandChannel* AtaOn(BlockDevice&) override { return &drive_; }
  NvmeAdminChannel* NvmeOn(BlockDevice&) override { return nullptr; }
  std::string NewPassword() override { return "Pw7xQ2mK"; }
  void Pause(std::uint32_t) override {}

 private:
  testing::FakeAtaDrive& drive_;
};

struct FirmwareRig {
  FirmwareRig() : logs(clock, LocaleSettings{}), capture(logs.BenchMark) {
    request.Drive.DevicePath = "/dev/sdz";
    request.Drive.IdentifyData.LBA = kSectors;
    request.Drive.IdentifyData.SectorSize = 512;
    request.Caption = "[0]  TEST DISK";
    request.Method = EraseMethod::AtaSecureErase;
    drive.OnErase = [this] {
      for (std::int64_t i = 0; i < kSectors * 512; ++i) {
        disk.Poke(i, 0);
      }
    };
  }

  ErasureResult Run() {
    ErasureParts parts = testing::FakeErasureParts(disk, script, testing::TwoAttributeInspection());
    parts.Firmware = std::make_unique<FakeFirmware>(drive);
    ErasureServices services{logs, clock, stop, display, observer, controls};
    return RunErasure(request, parts, services, [this](const ConfirmationRequest& c) {
      confirmation = c.Content;
      return true;
    });
  }

  testing::FakeClock clock;
  LogSinks logs;
  testing::LogCapture capture;
  testing::FakeBlockDevice disk{kSectors * 512, 512};
  testing::DiskScript script;
  testing::FakeAtaDrive drive;
  std::atomic<bool> stop{false};
  FormatDisplay display;
  FormatObserver observer;
  RunControls controls;
  ErasureRequest request;
  std::string confirmation;
};

TEST(FirmwareJob, AConfirmedEraseIsCheckedAndRecordedAsPurge) {
  FirmwareRig rig;
  rig.request.Verify = VerifyMethod::Full;
  const ErasureResult result = rig.Run();
  EXPECT_EQ(ErasureExitStatus(result), kExitOk);
  EXPECT_TRUE(rig.disk.Writes().empty());  // the drive erased itself; the host wrote nothing
  ASSERT_TRUE(result.Check.has_value());
  EXPECT_EQ(result.Check->Outcome, VerifyOutcome::Passed);
  ASSERT_TRUE(result.Certificate && result.Certificate->Erase && result.Certificate->Erase->Firmware);
  EXPECT_EQ(result.Certificate->Erase->Level, "purge");
  EXPECT_EQ(result.Certificate->Erase->Firmware->Method, "ata-secure-erase");
  EXPECT_EQ(result.Certificate->Erase->Firmware->DriveEstimateMinutes, 4U);
  EXPECT_NE(rig.confirmation.find("Method: ata-secure-erase"), std::string::npos);
}

TEST(FirmwareJob, RefusalsSendNothingAndHaveTheirOwnStatus) {
  FirmwareRig frozen;
  frozen.drive.Frozen = true;
  EXPECT_EQ(ErasureExitStatus(frozen.Run()), kExitMethodRefused);
  EXPECT_TRUE(frozen.confirmation.empty());  // refused before anyone was asked

  FirmwareRig crypto;
  crypto.drive.Word59 = 0x3000;
  crypto.request.Method = EraseMethod::AtaSanitizeCrypto;
  crypto.request.Verify = VerifyMethod::Sample;
  EXPECT_EQ(ErasureExitStatus(crypto.Run()), kExitUsage);

  for (FirmwareRig* rig : {&frozen, &crypto}) {
    for (const AtaCommand& sent : rig->drive.Sent) {
      EXPECT_TRUE(sent.Command == 0xEC || (sent.Command == 0xB4 && sent.Feature == 0)) << int(sent.Command);
    }
  }

  FirmwareRig stuck;
  stuck.drive.BridgeDropsAfterSetPassword = true;
  const ErasureResult result = stuck.Run();
  EXPECT_EQ(ErasureExitStatus(result), kExitPasswordLeftSet);
  ASSERT_TRUE(result.Certificate && result.Certificate->Erase);
  EXPECT_EQ(result.Certificate->Erase->Level, "none");
}

}  // namespace
}  // namespace firmware_job_test
}  // namespace vellumar::ops

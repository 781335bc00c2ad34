#include "ops/erasure_job.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "ops/exit_status.h"
#include "support/fake_block_device.h"
#include "support/fake_clock.h"
#include "support/fake_erasure_parts.h"
#include "support/log_capture.h"

namespace vellumar::ops {
namespace {

using testing::DiskScript;
using testing::FakeBlockDevice;

constexpr std::int64_t kSectors = 70'000;

struct JobRig {
  JobRig() : logs(clock, LocaleSettings{}), capture(logs.BenchMark) {
    request.Drive.DevicePath = "/dev/sdz";
    request.Drive.IdentifyData.LBA = kSectors;
    request.Drive.IdentifyData.SectorSize = 512;
    request.Drive.IdentifyData.SN = "  SN-1  ";
    request.Caption = "[0]  TEST DISK";
    request.Seed = 7;
  }

  ErasureResult Run(bool confirm = true) {
    ErasureParts parts = testing::FakeErasureParts(disk, script, testing::TwoAttributeInspection());
    ErasureServices services{logs, clock, stop, display, observer, controls};
    return RunErasure(request, parts, services, [confirm](const ConfirmationRequest&) { return confirm; });
  }

  testing::FakeClock clock;
  LogSinks logs;
  testing::LogCapture capture;
  FakeBlockDevice disk{kSectors * 512, 512};
  DiskScript script;
  std::atomic<bool> stop{false};
  FormatDisplay display;
  FormatObserver observer;
  RunControls controls;
  ErasureRequest request;
};

// Every status a script can read, reached through the job with fakes.
TEST(ErasureJob, ExitStatusFollowsTheOutcome) {
  struct Case {
    std::string Name;
    std::function<void(JobRig&)> Arrange;
    bool Confirm;
    int Status;
  };
  const std::vector<Case> cases{
      {"completed", [](JobRig&) {}, true, kExitOk},
      {"completed with a bad sector", [](JobRig& r) { r.disk.FailSector(100, kErrorIoDevice); }, true,
       kExitCompletedWithErrors},
      {"cancelled", [](JobRig& r) { r.disk.BeforeWrite([&r](std::int64_t, std::int64_t) { r.stop = true; }); }, true,
       kExitCancelled},
      {"flush failed", [](JobRig& r) { r.disk.FailFlush(kErrorIoDevice); }, true, kExitTerminated},
      {"internal error", [](JobRig& r) { r.script.ThrowOnOpen = "out of handles"; }, true, kExitTerminated},
      {"running system", [](JobRig& r) { r.script.SystemVolume = "/ on /dev/sdz2"; }, true, kExitRefused},
      {"not confirmed", [](JobRig&) {}, false, kExitRefused},
      {"disk in use", [](JobRig& r) { r.script.InUse = true; }, true, kExitRefused},
      {"check failed",
       [](JobRig& r) {
         r.request.Verify = VerifyMethod::Full;
         r.disk.FailReadSector(500, kErrorIoDevice);
       },
       true, kExitVerifyFailed},
      {"check cancelled",
       [](JobRig& r) {
         r.request.Verify = VerifyMethod::Full;
         r.logs.BenchMark.SetWriter([&r](const std::string& entry) {
           if (entry.find("Verifying") != std::string::npos) {
             r.stop = true;
           }
         });
       },
       true, kExitOk},  // the erase completed: a stopped check keeps its status
  };
  for (const Case& c : cases) {
    JobRig rig;
    c.Arrange(rig);
    const ErasureResult result = rig.Run(c.Confirm);
    EXPECT_EQ(ErasureExitStatus(result), c.Status) << c.Name;
  }
}

// The record comes from the job's own lines and inspection, never from what a front end shows.
TEST(ErasureJob, CertificateCarriesTheInspectionAndTheJobsOwnLines) {
  JobRig rig;
  rig.request.Verify = VerifyMethod::Sample;
  const ErasureResult result = rig.Run();
  ASSERT_TRUE(result.Certificate.has_value());
  const ErasureCertificate& c = *result.Certificate;
  EXPECT_EQ(c.Log, rig.capture.Entries());
  EXPECT_EQ(c.HiddenArea.HpaHiddenSectors, 2'048);
  ASSERT_TRUE(c.Smart.has_value());
  EXPECT_EQ(c.Smart->size(), 2U);
  EXPECT_EQ(c.Drive.Serial, "SN-1");
  EXPECT_EQ(c.Host, "testhost");
  ASSERT_TRUE(c.Verification.has_value());
  EXPECT_EQ(c.Verification->Seed, 7U);
  EXPECT_EQ(c.Erase->Outcome, "completed");
  // The clock starts after the confirmation and stops after the check.
  EXPECT_EQ(c.DurationSeconds, result.Ended - result.Started);
  EXPECT_GT(c.DurationSeconds, 0);

  JobRig refused;
  refused.script.SystemVolume = "/ on /dev/sdz2";
  EXPECT_FALSE(refused.Run().Certificate.has_value());
}

TEST(ErasureJob, TheConfirmationListsWhatTheRunTakesFromTheSystem) {
  struct PlannedVolumes final : VolumeLocker {
    bool LockDeviceVolumes(std::int64_t /*deviceNumber*/) override { return true; }
    void UnlockDeviceVolumes() override {}
    std::vector<std::string> PlannedTakes(std::int64_t /*deviceNumber*/) override {
      return {"unmount /mnt/data (/dev/sdz1)", "switch off swap /dev/sdz2"};
    }
  };
  JobRig rig;
  ErasureParts parts = testing::FakeErasureParts(rig.disk, rig.script, testing::TwoAttributeInspection());
  parts.Volumes = std::make_unique<PlannedVolumes>();
  std::string content;
  const auto ended = ConfirmErasure(rig.request, parts, rig.logs, [&content](const ConfirmationRequest& request) {
    content = request.Content;
    return false;
  });
  ASSERT_TRUE(ended.has_value());
  EXPECT_FALSE(ended->Run.Confirmed);
  const std::string list =
      "\r\n\r\nThe run takes these from the system first:\r\n  unmount /mnt/data (/dev/sdz1)\r\n  switch off swap "
      "/dev/sdz2";
  ASSERT_GE(content.size(), list.size());
  EXPECT_EQ(content.substr(content.size() - list.size()), list);
}

}  // namespace
}  // namespace vellumar::ops

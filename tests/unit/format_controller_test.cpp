#include "devices/erase/format_controller.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "support/fake_block_device.h"
#include "support/fake_clock.h"
#include "support/log_capture.h"

namespace vellumar {
namespace {

// Everything a run touches outside the engine, recorded in one journal so order can be checked.
class Journal final : public VolumeLocker, public FormatTarget, public RunControls {
 public:
  Journal(bool lockSucceeds, bool diskFree) : lockSucceeds_(lockSucceeds), diskFree_(diskFree) {}
  bool LockDeviceVolumes(std::int64_t deviceNumber) override {
    events.push_back("lock " + std::to_string(deviceNumber));
    return lockSucceeds_;
  }
  void UnlockDeviceVolumes() override { events.push_back("unlock"); }
  void RestoreDeviceVolumes() override { events.push_back("restore"); }
  std::string RunningSystemRefusal() override { return systemRefusal; }
  std::string CheckIdentity() override { return identityChange; }
  bool HoldStackedDevices() override {
    events.push_back("hold");
    return stackFree;
  }
  std::unique_ptr<BlockDevice> OpenExclusive() override {
    events.push_back("open");
    if (!diskFree_) {
      return nullptr;
    }
    auto device = std::make_unique<testing::FakeBlockDevice>(70'000 * 512, 512, false);
    if (throwOnWrite) {
      device->BeforeWrite([](std::int64_t, std::int64_t) { throw std::bad_alloc(); });
    }
    return device;
  }
  std::string RereadPartitions(BlockDevice* device) override {
    events.push_back(device != nullptr ? "reread open" : "reread closed");
    return rereadFailure;
  }
  void SetControlsEnabled(bool enabled) override { events.push_back(enabled ? "controls on" : "controls off"); }
  void SetStopEnabled(bool enabled) override { events.push_back(enabled ? "stop on" : "stop off"); }
  void SetBarPaused(bool paused) override { events.push_back(paused ? "bar paused" : "bar normal"); }

  std::vector<std::string> events;
  std::string systemRefusal;
  std::string identityChange;
  bool stackFree = true;
  bool throwOnWrite = false;
  std::string rereadFailure;

 private:
  bool lockSucceeds_;
  bool diskFree_;
};

struct ControllerRig {
  ControllerRig(bool lockSucceeds, bool diskFree, int answer)
      : logs(clock, LocaleSettings{}),
        capture(logs.BenchMark),
        journal(lockSucceeds, diskFree),
        services{logs,
                 clock,
                 journal,
                 journal,
                 stop,
                 display,
                 observer,
                 journal,
                 [this, answer](const ConfirmationRequest& asked) {
                   confirmation = asked;
                   return answer;
                 }} {
    request.Drive.DeviceNumber = 3;
    request.Drive.DevicePath = "/dev/sdc";
    request.Drive.IdentifyData.SN = " WD-WCAV12345678  ";
    request.Drive.IdentifyData.LBA = 70'000;
    request.Drive.IdentifyData.SectorSize = 512;
    request.DiskName = "[3]  DISK";
  }

  std::vector<std::string> Lines() const { return capture.Texts(); }

  testing::FakeClock clock;
  LogSinks logs;
  testing::LogCapture capture;
  Journal journal;
  std::atomic<bool> stop{false};
  FormatDisplay display;
  FormatObserver observer;
  ConfirmationRequest confirmation;
  RunServices services;
  RunRequest request;
};

TEST(FormatController, CancelledConfirmationChangesNothing) {
  ControllerRig rig(true, true, kDialogCancel);
  const RunReport report = RunLowLevelFormat(rig.request, rig.services);
  EXPECT_FALSE(report.Confirmed);
  EXPECT_TRUE(rig.Lines().empty());
  EXPECT_TRUE(rig.journal.events.empty());
  EXPECT_EQ(rig.confirmation.Title, "Warning");
  EXPECT_EQ(rig.confirmation.MainInstruction, "All data on the selected device will be lost");
  EXPECT_EQ(rig.confirmation.Content,
            "Are you absolutely sure you want to irreversibly destroy all data on this device?\r\n\r\n[3]  DISK"
            "\r\n/dev/sdc   Serial number: WD-WCAV12345678");
  EXPECT_EQ(rig.confirmation.Icon, 84);
  EXPECT_EQ(rig.confirmation.Buttons, 10);
}

TEST(FormatController, CompletedRunWritesTheWholeLogInOrder) {
  ControllerRig rig(true, true, kDialogYes);
  const RunReport report = RunLowLevelFormat(rig.request, rig.services);
  ASSERT_TRUE(report.WorkerRan);
  const auto lines = rig.Lines();
  ASSERT_EQ(lines.size(), 11U);
  EXPECT_EQ(rig.capture.Entries()[0], "2024-05-01 13:45:07    ");
  EXPECT_EQ(lines[1], "=================================================");
  EXPECT_EQ(lines[2], "Vellumar 4.50; https://vellumar.example/");
  EXPECT_EQ(lines[3], "Low level format: [3]  DISK");
  EXPECT_EQ(lines[4], "Device capacity: 70,000 sectors");
  EXPECT_EQ(lines[5], "Locking device... ");
  EXPECT_EQ(lines[6], "Formatting... ");
  EXPECT_EQ(lines[8], "Low-level format is complete.");
  EXPECT_EQ(rig.capture.Entries()[9], "2024-05-01 13:45:07   ");
  EXPECT_EQ(lines[10], "Remember to create new partitions.");
  EXPECT_EQ(rig.journal.events,
            (std::vector<std::string>{"controls off", "hold", "lock 3", "open", "stop on", "bar normal", "bar paused",
                                      "stop off", "reread open", "unlock", "controls on"}));
}

TEST(FormatController, LockFailureReleasesEverythingAndNeverRunsTheWorker) {
  ControllerRig rig(false, true, kDialogYes);
  const RunReport report = RunLowLevelFormat(rig.request, rig.services);
  EXPECT_FALSE(report.WorkerRan);
  const auto lines = rig.Lines();
  ASSERT_EQ(lines.size(), 7U);
  EXPECT_EQ(lines[5], "Locking device... ");
  EXPECT_EQ(lines[6], "Unable to lock device. Make sure you do not have open files on this device and try again. ");
  EXPECT_EQ(rig.journal.events,
            (std::vector<std::string>{"controls off", "hold", "lock 3", "reread closed", "unlock", "controls on"}));
}

TEST(FormatController, DiskStillClaimedElsewhereIsALockFailure) {
  ControllerRig rig(true, false, kDialogYes);
  rig.request.QuickWipe = true;
  const RunReport report = RunLowLevelFormat(rig.request, rig.services);
  EXPECT_FALSE(report.WorkerRan);
  EXPECT_EQ(rig.Lines()[4], "Device capacity: 70,000 sectors") << "the whole drive, even for a quick wipe";
  EXPECT_EQ(rig.Lines().back(),
            "Unable to lock device. Make sure you do not have open files on this device and try again. ");
  EXPECT_EQ(rig.journal.events, (std::vector<std::string>{"controls off", "hold", "lock 3", "open", "restore",
                                                          "reread closed", "unlock", "controls on"}));
}

TEST(FormatController, StoppedRunStillEndsWithTheReminderAndAFailedReReadIsSaid) {
  ControllerRig rig(true, true, kDialogYes);
  rig.stop = true;  // pressed before the first block
  rig.journal.rereadFailure = "Device or resource busy";
  const RunReport report = RunLowLevelFormat(rig.request, rig.services);
  EXPECT_EQ(report.Result.Outcome, FormatOutcome::Cancelled);
  const auto lines = rig.Lines();
  EXPECT_EQ(lines[lines.size() - 4], "Operation cancelled at offset 0    LBA 0");
  EXPECT_EQ(lines[lines.size() - 3],
            "Warning: the partition table could not be re-read (Device or resource busy); the old partitions stay "
            "visible until the disk is re-attached.");
  EXPECT_EQ(lines.back(), "Remember to create new partitions.");
}

TEST(FormatController, RefusalsComeBeforeAnyVolumeIsTaken) {
  {
    ControllerRig rig(true, true, kDialogYes);
    rig.journal.systemRefusal =
        "This device holds the running system (/ on /dev/sda2); it cannot be formatted "
        "while the system runs from it.";
    const RunReport report = RunLowLevelFormat(rig.request, rig.services);
    EXPECT_EQ(report.Refusal, rig.journal.systemRefusal);
    EXPECT_FALSE(report.Confirmed);
    EXPECT_TRUE(rig.confirmation.Title.empty()) << "nobody is asked to confirm the system's own disk";
    EXPECT_EQ(rig.Lines(), std::vector<std::string>{rig.journal.systemRefusal});
    EXPECT_TRUE(rig.journal.events.empty());
  }
  {
    ControllerRig rig(true, true, kDialogYes);
    rig.journal.identityChange = "the drive's medium changed since it was listed";
    const RunReport report = RunLowLevelFormat(rig.request, rig.services);
    EXPECT_FALSE(report.WorkerRan);
    EXPECT_EQ(rig.Lines().back(), "Error opening device: the drive's medium changed since it was listed");
    EXPECT_EQ(rig.journal.events, (std::vector<std::string>{"controls off", "reread closed", "unlock", "controls on"}));
  }
  {
    ControllerRig rig(true, true, kDialogYes);
    rig.journal.stackFree = false;  // the disk behind a loop device is mounted
    EXPECT_FALSE(RunLowLevelFormat(rig.request, rig.services).WorkerRan);
    EXPECT_EQ(rig.Lines().back(),
              "Unable to lock device. Make sure you do not have open files on this device and try again. ");
    EXPECT_EQ(rig.journal.events,
              (std::vector<std::string>{"controls off", "hold", "reread closed", "unlock", "controls on"}));
  }
}

TEST(FormatController, ExceptionFromTheWorkerStillReleasesTheDrive) {
  ControllerRig rig(true, true, kDialogYes);
  rig.journal.throwOnWrite = true;
  EXPECT_THROW(RunLowLevelFormat(rig.request, rig.services), std::bad_alloc);
  EXPECT_EQ(rig.journal.events,
            (std::vector<std::string>{"controls off", "hold", "lock 3", "open", "stop on", "bar normal", "bar paused",
                                      "stop off", "reread open", "unlock", "controls on"}));
}

}  // namespace
}  // namespace vellumar

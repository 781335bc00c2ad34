#include "devices/verify/verification.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "devices/base/units.h"
#include "devices/erase/format_controller.h"
#include "support/fake_block_device.h"
#include "support/fake_clock.h"
#include "support/log_capture.h"

namespace vellumar {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;

// A device of `size` bytes that a run has zeroed, with the check's context around it.
struct CheckRig {
  CheckRig(std::int64_t size, std::int64_t sectorSize)
      : device(size, sectorSize), logs(clock, LocaleSettings{}), capture(logs.BenchMark), sector(sectorSize) {
    TIdentifyDeviceData drive;
    drive.LBA = size / sectorSize;
    drive.SectorSize = sectorSize;
    FormatContext context{device, clock, logs, stop, display, observer};
    run = FormatDevice(false, drive, context);
    identity = drive;
  }

  VerifyResult Check(VerifyMethod method, std::uint64_t seed = 7) {
    const VerifyRequest request =
        RunVerifyRequest(method, seed, identity, identity.LBA * identity.SectorSize, false, run);
    FormatContext context{device, clock, logs, stop, display, observer};
    return VerifyDevice(request, context);
  }

  std::string LastLine() const { return capture.Texts().back(); }

  testing::FakeBlockDevice device;
  testing::FakeClock clock;
  LogSinks logs;
  testing::LogCapture capture;
  std::atomic<bool> stop{false};
  FormatDisplay display;
  FormatObserver observer;
  std::int64_t sector;
  TIdentifyDeviceData identity;
  FormatResult run;
};

TEST(Verification, ZeroedDevicePassesAndSaysHowMuchWasRead) {
  CheckRig rig(40 * kMiB, 512);
  EXPECT_EQ(rig.Check(VerifyMethod::Full).Outcome, VerifyOutcome::Passed);
  EXPECT_EQ(rig.LastLine(), "Verification passed: 41,943,040 bytes read, all zero.");
  EXPECT_EQ(rig.capture.Texts()[rig.capture.Texts().size() - 3], "Verifying (full)...");
  // The check's own speed, never the run's that the displays showed before it.
  EXPECT_EQ(rig.capture.Texts()[rig.capture.Texts().size() - 2].rfind("Average read speed: ", 0), 0U);
  const VerifyResult sample = rig.Check(VerifyMethod::Sample, 99);
  EXPECT_EQ(sample.Outcome, VerifyOutcome::Passed);
  EXPECT_EQ(rig.capture.Texts()[rig.capture.Texts().size() - 3], "Verifying (sample, seed 99)...");
  // Two extents of at least 5 % per subsection and both edge MiB: a little over a tenth.
  EXPECT_GT(sample.BytesRead, 40 * kMiB / 10);
  EXPECT_LT(sample.BytesRead, 40 * kMiB * 13 / 100 + 2 * kMiB);
}

TEST(Verification, NonZeroByteIsFoundWithItsOffsetAndLba) {
  struct Case {
    VerifyMethod Method;
    std::int64_t SectorSize;
    std::int64_t Offset;
    std::string Line;
  };
  const std::vector<Case> cases = {
      {VerifyMethod::Sample, 512, 100, "non-zero data at offset 0 (LBA 0); 1 sector differs."},
      {VerifyMethod::Sample, 4096, 40 * kMiB - 1, "non-zero data at offset 41,938,944 (LBA 10,239); 1 sector differs."},
      {VerifyMethod::Full, 512, 23'456'789, "non-zero data at offset 23,456,768 (LBA 45,814); 1 sector differs."},
      {VerifyMethod::Full, 4096, 33 * kMiB + 5, "non-zero data at offset 34,603,008 (LBA 8448); 1 sector differs."},
  };
  for (const Case& c : cases) {
    CheckRig rig(40 * kMiB, c.SectorSize);
    rig.device.Poke(c.Offset, 0x01);
    const VerifyResult result = rig.Check(c.Method);
    EXPECT_EQ(result.Outcome, VerifyOutcome::Failed) << c.Offset;
    EXPECT_EQ(rig.LastLine(), "Verification failed: " + c.Line);
  }
}

TEST(Verification, EveryDifferingSectorIsCountedAndTheFirstNamed) {
  CheckRig rig(40 * kMiB, 512);
  for (const std::int64_t offset : {3 * kMiB + 7, 3 * kMiB + 9, 3 * kMiB + 600, 39 * kMiB}) {
    rig.device.Poke(offset, 0xFF);
  }
  const VerifyResult result = rig.Check(VerifyMethod::Full);
  EXPECT_EQ(result.DifferingSectors, 3);  // the first two bytes share a sector
  EXPECT_EQ(result.FirstDifference, 3 * kMiB);
}

TEST(Verification, PiecesReadSideBySideAreCountedInOrder) {
  CheckRig rig(40 * kMiB, 512);
  rig.device.Poke(39 * kMiB, 0x01);
  rig.device.Poke(17 * kMiB + 3, 0x01);
  rig.device.Poke(kMiB - 1, 0x01);  // two neighbouring sectors on either side of a piece boundary
  rig.device.Poke(kMiB, 0x01);
  const VerifyResult result = rig.Check(VerifyMethod::Full);
  EXPECT_EQ(result.DifferingSectors, 4);
  EXPECT_EQ(result.FirstDifference, kMiB - 512);
  EXPECT_EQ(result.BytesRead, 40 * kMiB);
}

TEST(Verification, ReadErrorsAreLoggedAndNeverPass) {
  CheckRig rig(40 * kMiB, 512);
  rig.device.FailReadSector(5000, kErrorIoDevice);
  const VerifyResult result = rig.Check(VerifyMethod::Full);
  EXPECT_EQ(result.Outcome, VerifyOutcome::Failed);
  EXPECT_EQ(result.UnreadableSectors, 1);  // the rest of the piece is read again in steps
  EXPECT_EQ(result.FirstUnreadable, 5000 * 512);
  EXPECT_THAT(rig.capture.Texts(),
              ::testing::Contains("Read Error occurred at offset 2,560,000:   1117 - Device I/O error"));
  EXPECT_THAT(rig.LastLine(), HasSubstr("1 sector could not be read, the first at offset 2,560,000 (LBA 5000)."));
}

// A read error and a non-zero sector in one retry step: each sector is counted once, and no
// more bytes are read than the device has. The device's partial last sector is read too.
TEST(Verification, EachSectorCountsOnceAndThePartialLastSectorIsRead) {
  CheckRig rig(40 * kMiB, 512);
  rig.device.FailReadSector(5000, kErrorIoDevice);
  rig.device.Poke(4990 * 512 + 1, 0x01);
  rig.device.Poke(5010 * 512, 0x01);
  const VerifyResult result = rig.Check(VerifyMethod::Full);
  EXPECT_EQ(result.DifferingSectors, 2);
  EXPECT_EQ(result.UnreadableSectors, 1);
  EXPECT_LE(result.BytesRead, 40 * kMiB);

  const std::int64_t size = 2 * kMiB + 1'000;
  testing::FakeBlockDevice image(size, 512);
  FormatContext context{image, rig.clock, rig.logs, rig.stop, rig.display, rig.observer};
  context.DeviceBytes = size;
  TIdentifyDeviceData drive = rig.identity;
  drive.LBA = size / 512;
  FormatDevice(false, drive, context);
  image.Poke(size - 10, 0x7F);
  const VerifyResult tail = VerifyDevice(RunVerifyRequest(VerifyMethod::Full, 1, drive, size, false, {}), context);
  EXPECT_EQ(tail.Outcome, VerifyOutcome::Failed);
  EXPECT_EQ(tail.FirstDifference, size / 512 * 512);
  EXPECT_EQ(tail.BytesRead, size);

  testing::FakeBlockDevice shorter(2 * kMiB, 512);  // a device that ends before the extents do
  FormatContext shortContext{shorter, rig.clock, rig.logs, rig.stop, rig.display, rig.observer};
  VerifyDevice(RunVerifyRequest(VerifyMethod::Full, 1, drive, size, false, {}), shortContext);
  EXPECT_THAT(rig.capture.Texts(), ::testing::Contains("Read Error occurred at offset 2,097,152:   38 - Reached the "
                                                       "end of the device"));
}

TEST(Verification, SectorsTheRunCouldNotWriteAreCountedApart) {
  testing::FakeBlockDevice device(40 * kMiB, 512);
  device.FailSector(3000, kErrorIoDevice);
  device.FailSector(3001, kErrorIoDevice);
  CheckRig rig(40 * kMiB, 512);
  // The run's own record of unwritable sectors, as the engine reports it.
  FormatContext context{device, rig.clock, rig.logs, rig.stop, rig.display, rig.observer};
  const FormatResult run = FormatDevice(false, rig.identity, context);
  ASSERT_EQ(run.UnwrittenSectors, 2);
  EXPECT_THAT(run.UnwrittenExtents, ::testing::SizeIs(1));
  const VerifyResult result = VerifyDevice(
      RunVerifyRequest(VerifyMethod::Full, 1, rig.identity, rig.identity.LBA * rig.identity.SectorSize, false, run),
      context);
  EXPECT_EQ(result.Outcome, VerifyOutcome::Passed);
  EXPECT_EQ(result.KnownUnwrittenDiffering, 2);
  const std::vector<std::string> lines = rig.capture.Texts();
  EXPECT_EQ(lines[lines.size() - 2], "Sectors the run could not write, not counted as differences: 2 from LBA 3000");
}

class StopAfter final : public FormatObserver {
 public:
  StopAfter(std::atomic<bool>& stop, int yields) : stop_(stop), left_(yields) {}
  void OnYield() override {
    if (--left_ == 0) {
      stop_.store(true);
    }
  }

 private:
  std::atomic<bool>& stop_;
  int left_;
};

TEST(Verification, StopIsSeenBetweenBlocksAndCleared) {
  CheckRig rig(100 * kMiB, 512);
  StopAfter stopper(rig.stop, 3);
  FormatContext context{rig.device, rig.clock, rig.logs, rig.stop, rig.display, stopper};
  const VerifyResult result = VerifyDevice(
      RunVerifyRequest(VerifyMethod::Full, 1, rig.identity, rig.identity.LBA * rig.identity.SectorSize, false, rig.run),
      context);
  EXPECT_EQ(result.Outcome, VerifyOutcome::Cancelled);
  EXPECT_EQ(rig.LastLine(), "Verification cancelled at offset 33,554,432.");  // two 16 MiB blocks read
  EXPECT_FALSE(rig.stop.load());
}

TEST(SamplePlan, SameSeedSameExtentsAndEdgesAlwaysRead) {
  const std::int64_t total = 1'000'000 * 4096LL;
  const auto first = SampleExtents(total, 4096, 12345);
  EXPECT_EQ(first, SampleExtents(total, 4096, 12345));
  EXPECT_NE(first, SampleExtents(total, 4096, 12346));
  EXPECT_EQ(first.front().Begin, 0);
  EXPECT_GE(first.front().End, kMiB);
  EXPECT_EQ(first.back().End, total);
  EXPECT_LE(first.back().Begin, total - kMiB);
  for (std::size_t i = 0; i < first.size(); ++i) {
    EXPECT_EQ(first[i].Begin % 4096, 0);
    EXPECT_EQ(first[i].End % 4096, 0);
    if (i > 0) {
      EXPECT_GT(first[i].Begin, first[i - 1].End);  // sorted and joined
    }
  }
}

// Every subsection gets two picks of at least 5 %, rounded up, that do not overlap: at least
// 10 % of the drive, and of every part of it.
TEST(SamplePlan, EverySubsectionIsCoveredAtLeastATenth) {
  for (const auto& [sectors, size] : std::vector<std::pair<std::int64_t, std::int64_t>>{
           {69'632, 4096}, {131'072, 512}, {1'000'003, 512}, {19'531'250, 512}}) {
    const std::int64_t total = sectors * size;
    const std::vector<ByteRange> sample = SampleExtents(total, size, 99);
    for (std::int64_t i = 0; i < kSampleSubsections; ++i) {
      const std::int64_t begin = sectors * i / kSampleSubsections * size;
      const std::int64_t end = sectors * (i + 1) / kSampleSubsections * size;
      std::int64_t covered = 0;
      for (const ByteRange& range : sample) {
        covered += std::max<std::int64_t>(0, std::min(range.End, end) - std::max(range.Begin, begin));
      }
      ASSERT_GE(covered * 10, end - begin) << sectors << " sectors, subsection " << i;
    }
  }
}

TEST(SamplePlan, QuickWipeChecksExactlyTheTwoRangesItWrote) {
  const std::int64_t total = 64 * kMiB;
  const std::vector<ByteRange> expected = {{0, 10'240'000}, {total - kMiB, total}};
  EXPECT_EQ(VerificationExtents(VerifyMethod::Full, total, 512, true, 1), expected);
  EXPECT_EQ(VerificationExtents(VerifyMethod::Sample, total, 512, true, 1), expected);
  EXPECT_TRUE(VerificationExtents(VerifyMethod::None, total, 512, false, 1).empty());
}

TEST(FormatControllerCheck, RunsAfterTheFinalLineOfACompletedRunOnly) {
  for (const bool stopEarly : {false, true}) {
    testing::FakeClock clock;
    LogSinks logs(clock, LocaleSettings{});
    testing::LogCapture capture(logs.BenchMark);
    NoVolumes volumes;
    struct Target final : FormatTarget {
      std::unique_ptr<BlockDevice> OpenExclusive() override {
        return std::make_unique<testing::FakeBlockDevice>(70'000 * 512, 512, false);
      }
      std::string RereadPartitions(BlockDevice* /*device*/) override {
        rereads.push_back("reread");
        return {};
      }
      std::vector<std::string> rereads;
    } target;
    std::atomic<bool> stop{stopEarly};
    FormatDisplay display;
    FormatObserver observer;
    RunControls controls;
    bool checked = false;
    RunServices services{logs, clock, volumes, target, stop, display, observer, controls, nullptr};
    services.AfterCompletedRun = [&](BlockDevice& /*device*/, const FormatResult& /*result*/) {
      checked = true;
      EXPECT_EQ(capture.Texts().back(), "Low-level format is complete.");
      EXPECT_TRUE(target.rereads.empty());
    };
    RunRequest request;
    request.Drive.IdentifyData.LBA = 70'000;
    request.Drive.IdentifyData.SectorSize = 512;
    RunLowLevelFormat(request, services);
    EXPECT_EQ(checked, !stopEarly);
    const std::vector<std::string> lines = capture.Texts();
    EXPECT_THAT(std::vector<std::string>(lines.end() - 2, lines.end()),
                ElementsAre("", "Remember to create new partitions."));
  }
}

}  // namespace
}  // namespace vellumar

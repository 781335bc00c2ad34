#include "devices/erase/format_engine.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "devices/base/units.h"
#include "support/fake_block_device.h"
#include "support/fake_clock.h"
#include "support/log_capture.h"

namespace vellumar {
namespace {

using testing::FakeBlockDevice;
using testing::FakeClock;
using testing::LogCapture;

constexpr std::int64_t kKiB = 1024;

// Raises the stop flag at the given yield (0: never) and records every display shown.
class RecordingObserver final : public FormatObserver {
 public:
  explicit RecordingObserver(std::atomic<bool>& stop) : stop_(stop) {}
  void OnYield() override { stop_ = stop_ || ++yields == stopAtYield; }
  void OnProgress(const FormatDisplay& display) override { shown.push_back(display); }

  int yields = 0;
  int stopAtYield = 0;
  std::vector<FormatDisplay> shown;

 private:
  std::atomic<bool>& stop_;
};

// One engine with fakes around it; each test tunes the parts it cares about.
struct Rig {
  explicit Rig(std::int64_t lba, std::int64_t sectorSize = 512, bool keepData = true)
      : device(lba * sectorSize, sectorSize, keepData), logs(clock, LocaleSettings{}), capture(logs.BenchMark) {
    drive.LBA = lba;
    drive.SectorSize = sectorSize;
  }

  FormatResult Run(bool quick = false) {
    FormatContext context{device, clock, logs, stop, display, observer};
    return FormatDevice(quick, drive, context);
  }

  std::vector<std::string> Lines() const { return capture.Texts(); }

  TIdentifyDeviceData drive;
  FakeBlockDevice device;
  FakeClock clock;
  LogSinks logs;
  LogCapture capture;
  std::atomic<bool> stop{false};
  FormatDisplay display;
  RecordingObserver observer{stop};
};

TEST(FormatEngine, BlockSizeGrowsEveryTenFastIterationsUpToTheBuffer) {
  Rig rig(8LL * 1024 * 1024 * 2, 512, false);  // 8 GiB, calls recorded only
  rig.Run();
  const auto& writes = rig.device.Writes();
  ASSERT_GT(writes.size(), 120U);
  for (std::size_t i = 0; i < 19; ++i) {
    EXPECT_EQ(writes[i].Length, 64 * kKiB) << "write " << i;
  }
  EXPECT_EQ(writes[19].Length, 128 * kKiB);  // iteration 20 is the first that may double
  EXPECT_EQ(writes[29].Length, 256 * kKiB);
  EXPECT_EQ(writes[99].Length, 32 * kMiB);
  for (const auto& write : writes) {
    EXPECT_LE(write.Length, kZeroBufferSize);
  }
  EXPECT_EQ(writes.back().Offset + writes.back().Length, 8LL * 1024 * kMiB);

  Rig slow(40'000);
  slow.clock.SetStep(200);  // every reading 200 ms later: ten iterations take over a second
  slow.Run();
  for (const auto& write : slow.device.Writes()) {
    EXPECT_EQ(write.Length, std::min(64 * kKiB, 40'000 * 512 - write.Offset));
  }
}

TEST(FormatEngine, FullRunZeroesEveryByteAndEndsExactlyAtTheLastSector) {
  Rig rig(70'001);  // not a multiple of any block size
  const FormatResult result = rig.Run();

  EXPECT_EQ(result.Outcome, FormatOutcome::Completed);
  EXPECT_EQ(rig.device.NonZeroIn(0, 70'001 * 512), 0);
  const auto& last = rig.device.Writes().back();
  EXPECT_EQ(last.Offset + last.Length, 70'001 * 512);
  EXPECT_NE(last.Length % (64 * kKiB), 0);  // the short final block
  EXPECT_EQ(rig.display.PositionText, "Current sector: 70,001");
  EXPECT_EQ(rig.display.PercentText, "100% complete");
  EXPECT_EQ(rig.display.BarPosition, 100);
  for (const auto& shown : rig.observer.shown) {
    EXPECT_LE(shown.BarPosition, 100);
    EXPECT_LE(std::stoi(shown.PercentText), 100);
  }
  EXPECT_EQ(rig.device.Flushes(), 1);
  const auto lines = rig.Lines();
  ASSERT_EQ(lines.size(), 2U);
  EXPECT_EQ(lines[0].rfind("Average speed: ", 0), 0U);
  EXPECT_NE(lines[0].find(" MB/s"), std::string::npos);
  EXPECT_EQ(lines[1], "Low-level format is complete.");
}

TEST(FormatEngine, ZeroSizeDriveWritesNothingAndCompletes) {
  Rig rig(0);
  rig.display.SpeedText = "12.5 MB/s";  // left from an earlier run
  rig.Run();
  EXPECT_TRUE(rig.device.Writes().empty());
  EXPECT_EQ(rig.Lines(), (std::vector<std::string>{"Average speed: 12.5 MB/s", "Low-level format is complete."}));
  EXPECT_EQ(rig.display.BarPosition, 100);
}

TEST(FormatEngine, MediumErrorLogsOneLineAndRewritesAllButTheBadSector) {
  Rig rig(70'000);
  rig.device.FailSector(5, kErrorIoDevice);
  const FormatResult result = rig.Run();

  const auto lines = rig.Lines();
  ASSERT_GE(lines.size(), 4U);
  EXPECT_EQ(lines[0], "Format Error occurred at offset 0:   1117 - Device I/O error");
  EXPECT_EQ(lines[1], "Sectors left unwritten: 1 from LBA 5");
  EXPECT_EQ(lines.back(), "Low-level format is complete.");
  EXPECT_EQ(result.Outcome, FormatOutcome::Completed);
  EXPECT_EQ(result.ErrorLines, 1);
  EXPECT_EQ(result.UnwrittenSectors, 1);
  // Only the bad sector keeps its old content.
  EXPECT_EQ(rig.device.NonZeroIn(0, 70'000 * 512), 512);
  EXPECT_EQ(rig.device.NonZeroIn(5 * 512, 6 * 512), 512);
  // The run goes on with the next block.
  bool nextBlockWritten = false;
  for (const auto& write : rig.device.Writes()) {
    nextBlockWritten = nextBlockWritten || (write.Offset == 65'536 && write.Length == 64 * kKiB);
  }
  EXPECT_TRUE(nextBlockWritten);

  Rig noText(70'000);  // a code without a text ends the line after the code
  noText.device.FailSector(0, 87);
  noText.Run();
  EXPECT_EQ(noText.Lines()[0], "Format Error occurred at offset 0:   87");
}

TEST(FormatEngine, UnpluggedDeviceTerminatesAtTheFailedBlock) {
  Rig rig(70'000);
  rig.device.FailSector(300, kErrorDevNotExist);  // inside the third 64 KiB block
  const FormatResult result = rig.Run();

  const auto lines = rig.Lines();
  ASSERT_EQ(lines.size(), 4U);
  EXPECT_EQ(lines[0], "Format Error occurred at offset 131,072:   55 - Media was unplugged");
  EXPECT_EQ(lines[1], "Device was unplugged, aborting...");
  EXPECT_EQ(lines[2].rfind("Average speed: ", 0), 0U);
  EXPECT_EQ(lines[3], "Operation terminated at offset 131,072    LBA 256");
  EXPECT_EQ(result.Outcome, FormatOutcome::Terminated);
  EXPECT_EQ(rig.device.Flushes(), 0);
}

TEST(FormatEngine, WriteProtectedMediumTerminatesAtTheFirstBlock) {
  Rig rig(70'000);
  rig.device.FailSector(0, kErrorWriteProtect);
  rig.device.FailSector(200, kErrorWriteProtect);
  const FormatResult result = rig.Run();
  EXPECT_EQ(rig.Lines(),
            (std::vector<std::string>{"Format Error occurred at offset 0:   19 - The media is write protected",
                                      "Average speed: ", "Operation terminated at offset 0    LBA 0"}));
  EXPECT_EQ(result.Outcome, FormatOutcome::Terminated);
  EXPECT_EQ(rig.device.Writes().size(), 1U) << "no block is tried again, no sector by sector";
}

TEST(FormatEngine, UnplugDuringTheRewriteStillAborts) {
  Rig rig(70'000);
  rig.device.FailSector(5, kErrorIoDevice);
  // The disk disappears while the failed block is being rewritten piece by piece.
  rig.device.BeforeWrite([&](std::int64_t, std::int64_t length) {
    if (length == 64 * kKiB && rig.device.Writes().size() == 2) {
      rig.device.FailSector(5, kErrorFileNotFound);
    }
  });
  const FormatResult result = rig.Run();
  const auto lines = rig.Lines();
  EXPECT_EQ(result.Outcome, FormatOutcome::Terminated);
  EXPECT_EQ(lines[1], "Format Error occurred at offset 0:   2 - Media was unplugged");
  EXPECT_EQ(lines[2], "Device was unplugged, aborting...");
  EXPECT_EQ(lines.back(), "Operation terminated at offset 0    LBA 0");
}

TEST(FormatEngine, DyingDiskStopsSectorRetriesAfterTheLimit) {
  Rig rig(70'000);
  for (std::int64_t sector = 0; sector < 4'000; ++sector) {
    rig.device.FailSector(sector, kErrorIoDevice);
  }
  const FormatResult result = rig.Run();
  std::int64_t sectorWrites = 0;
  for (const auto& write : rig.device.Writes()) {
    sectorWrites += write.Length == 512 ? 1 : 0;
  }
  EXPECT_EQ(sectorWrites, 1'000);
  // Past the limit a failing 64 KiB piece is skipped whole, good sectors in it included.
  EXPECT_EQ(result.UnwrittenSectors, 4'096);
  EXPECT_EQ(rig.device.NonZeroIn(4'096 * 512, 70'000 * 512), 0);
}

TEST(FormatEngine, SeekFailureSkipsTheBlockAndTheRunGoesOn) {
  Rig rig(70'000);
  rig.device.FailSeekAt(65'536);
  const FormatResult result = rig.Run();
  EXPECT_EQ(rig.Lines()[0], "Seek error occurred at offset 65,536");
  EXPECT_EQ(rig.Lines().back(), "Low-level format is complete.");
  EXPECT_EQ(result.Outcome, FormatOutcome::Completed);
  EXPECT_EQ(result.ErrorLines, 1);
}

// A stop finishes the current block, names the next offset and LBA in the sector's own unit,
// and clears the request.
TEST(FormatEngine, StopCancelsAfterTheCurrentBlock) {
  struct Case {
    std::int64_t Lba, SectorSize;
    int StopAtYield;  // yield 1 comes before the first block
    std::size_t Writes;
    const char* Last;
  };
  for (const Case& c : {Case{70'000, 512, 1, 0, "Operation cancelled at offset 0    LBA 0"},
                        Case{70'000, 512, 4, 3, "Operation cancelled at offset 196,608    LBA 384"},
                        Case{10'000, 4096, 3, 2, "Operation cancelled at offset 131,072    LBA 32"}}) {
    SCOPED_TRACE(c.Last);
    Rig rig(c.Lba, c.SectorSize);
    rig.observer.stopAtYield = c.StopAtYield;
    EXPECT_EQ(rig.Run().Outcome, FormatOutcome::Cancelled);
    EXPECT_EQ(rig.device.Writes().size(), c.Writes);
    EXPECT_EQ(rig.Lines().back(), c.Last);
    EXPECT_FALSE(rig.stop.load());
  }
  Rig rig(70'000);
  rig.observer.stopAtYield = 1;
  rig.Run();
  EXPECT_EQ(rig.Lines(), (std::vector<std::string>{"Average speed: ", "Operation cancelled at offset 0    LBA 0"}));
}

TEST(FormatEngine, SpeedLabelKeepsItsTextOnABackwardClockAndUsesTheUserSeparator) {
  Rig rig(200);  // one block
  rig.display.SpeedText = "3.0 MB/s";
  rig.clock.Script({5'000'000, 4'000'000});  // start, then an earlier reading after the block
  rig.Run();
  EXPECT_EQ(rig.display.SpeedText, "3.0 MB/s");
  EXPECT_EQ(rig.Lines()[0], "Average speed: 3.0 MB/s");

  Rig comma(2'000);  // 1,024,000 bytes in 16 blocks
  LocaleSettings locale;
  locale.DecimalSeparator = ",";
  LogSinks logs(comma.clock, locale);
  FormatContext context{comma.device, comma.clock, logs, comma.stop, comma.display, comma.observer};
  FormatDevice(false, comma.drive, context);
  EXPECT_NE(comma.display.SpeedText.find(','), std::string::npos) << comma.display.SpeedText;
}

TEST(FormatEngine, FlushFailureIsNotReportedAsComplete) {
  Rig rig(70'000);
  rig.device.FailFlush(kErrorIoDevice);
  const FormatResult result = rig.Run();
  const auto lines = rig.Lines();
  ASSERT_EQ(lines.size(), 3U);
  EXPECT_EQ(lines[0], "Format Error occurred at offset 35,840,000:   1117 - Device I/O error");
  EXPECT_EQ(lines[2], "Operation terminated at offset 35,840,000    LBA 70,000");
  EXPECT_EQ(result.Outcome, FormatOutcome::Terminated);
}

TEST(FormatEngine, QuickWipeClearsTheHeadAndTheTailOnly) {
  const std::int64_t lba = 100'000;  // 51,200,000 bytes
  const std::int64_t kHead = 10'240'000;
  const std::int64_t kTail = 1'048'576;  // where a GPT keeps its backup
  Rig rig(lba);
  rig.Run(true);
  const std::int64_t total = lba * 512;
  EXPECT_EQ(rig.device.NonZeroIn(0, kHead), 0);
  EXPECT_EQ(rig.device.NonZeroIn(kHead, total - kTail), total - kTail - kHead);
  EXPECT_EQ(rig.device.NonZeroIn(total - kTail, total), 0);
  // Offsets are real device offsets; every write lies in one of the two ranges.
  for (const auto& write : rig.device.Writes()) {
    const bool inHead = write.Offset + write.Length <= kHead;
    const bool inTail = write.Offset >= total - kTail && write.Offset + write.Length <= total;
    EXPECT_TRUE(inHead || inTail) << write.Offset;
  }
  EXPECT_EQ(rig.display.PercentText, "100% complete");
  // Where the last block ends on the device, not how many sectors were written.
  EXPECT_EQ(rig.display.PositionText, "Current sector: 100,000");
}

TEST(FormatEngine, QuickWipeRangesAtTheBoundary) {
  Rig rig(20'000);  // 10,240,000 bytes: not larger than both ranges together, so all of it
  rig.Run(true);
  EXPECT_EQ(rig.device.NonZeroIn(0, 20'000 * 512), 0);
  const std::int64_t both = kQuickWipeHead + kQuickWipeTail;
  EXPECT_EQ(FormatRanges(both, true).first.End, both);
  EXPECT_EQ(FormatRanges(both, true).second.End, 0);
  const auto [head, tail] = FormatRanges(both + 4096, true);
  EXPECT_EQ(head.End, kQuickWipeHead);
  EXPECT_EQ(tail.Begin, both + 4096 - kQuickWipeTail);
  EXPECT_EQ(FormatRanges(both + 4096, false).first.End, both + 4096);
}

}  // namespace
}  // namespace vellumar

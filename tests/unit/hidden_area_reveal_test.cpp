#include "devices/ata/hidden_area_reveal.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <deque>
#include <utility>
#include <vector>

namespace vellumar {
namespace {

void SetRevealWord(AtaSector& sector, std::size_t word, std::uint16_t value) {
  sector[2 * word] = static_cast<std::uint8_t>(value & 0xFFU);
  sector[2 * word + 1] = static_cast<std::uint8_t>(value >> 8U);
}

AtaSector Identify(bool hpa, bool lba48, std::uint64_t sectors) {
  AtaSector sector{};
  SetRevealWord(sector, 82, hpa ? 0x0400 : 0);
  SetRevealWord(sector, 83, static_cast<std::uint16_t>(0x4000 | (lba48 ? 0x0400 : 0)));
  for (std::size_t i = 0; i < 2; ++i) {
    SetRevealWord(sector, 60 + i,
                  static_cast<std::uint16_t>((std::min<std::uint64_t>(sectors, 0x0FFFFFFF) >> (16 * i))));
  }
  for (std::size_t i = 0; i < 4; ++i) {
    SetRevealWord(sector, 100 + i, static_cast<std::uint16_t>(sectors >> (16 * i)));
  }
  return sector;
}

AtaReply Completed(std::uint64_t lba = 0) {
  return {.Kind = AtaReplyKind::Completed, .RegistersKnown = true, .Status = 0x50, .Lba = lba, .Detail = {}};
}

// The rig's disks abort SET MAX ADDRESS: status 0x41, error 0x04.
const AtaReply kAborted{
    .Kind = AtaReplyKind::DeviceError, .RegistersKnown = true, .Status = 0x41, .Error = 0x04, .Detail = {}};

// Answers each command with the next scripted reply; a completed data-in command gets `Identify`.
class ScriptedChannel final : public AtaCommandChannel {
 public:
  AtaReply Run(const AtaCommand& command, std::span<std::uint8_t> data) override {
    Sent.push_back(command);
    if (Replies.empty()) {
      return {};
    }
    AtaReply reply = std::move(Replies.front());
    Replies.pop_front();
    if (reply.Kind == AtaReplyKind::Completed && command.Direction == AtaDataDirection::In) {
      std::copy_n(IdentifyAfter.begin(), std::min(data.size(), IdentifyAfter.size()), data.begin());
    }
    return reply;
  }
  std::deque<AtaReply> Replies;
  AtaSector IdentifyAfter{};
  std::vector<AtaCommand> Sent;
};

HiddenAreaReport Hidden(std::int64_t reported, std::int64_t native, std::int64_t dco = 0) {
  return {.Status = HiddenAreaStatus::Hidden,
          .ReportedSectors = reported,
          .NativeSectors = native,
          .DcoSectors = dco,
          .HpaHiddenSectors = native - reported,
          .DcoHiddenSectors = dco > native ? dco - native : 0,
          .Reason = {}};
}

TEST(HiddenAreaReveal, VolatileSetMaxToTheNativeMaximumThenIdentify) {
  struct Case {
    const char* What;
    bool Lba48;
    AtaReply SetMax;
    std::uint64_t SectorsAfter;
    bool Confirmed;
    const char* Line;
  };
  const std::vector<Case> cases = {
      {"48-bit drive", true, Completed(), 1'002'048, true,
       "Hidden area revealed: 2048 sectors now reachable (until the next power cycle)."},
      {"28-bit drive", false, Completed(), 1'002'048, true,
       "Hidden area revealed: 2048 sectors now reachable (until the next power cycle)."},
      {"the drive aborts SET MAX", true, kAborted, 1'000'000, false,
       "Hidden area not revealed: the drive refused SET MAX ADDRESS EXT."},
      {"IDENTIFY after does not match", true, Completed(), 1'000'000, false,
       "Hidden area not revealed: after SET MAX ADDRESS EXT the drive reports 1,000,000 sectors, not its native "
       "1,002,048."},
  };
  for (const Case& c : cases) {
    ScriptedChannel ata;
    ata.Replies = {Completed(1'002'047), c.SetMax, Completed()};
    ata.IdentifyAfter = Identify(true, c.Lba48, c.SectorsAfter);
    const HiddenAreaReveal result =
        RevealHiddenArea(Identify(true, c.Lba48, 1'000'000), Hidden(1'000'000, 1'002'048), ata);
    EXPECT_TRUE(result.Sent) << c.What;
    EXPECT_EQ(result.Confirmed, c.Confirmed) << c.What;
    EXPECT_EQ(result.SectorsBefore, 1'000'000) << c.What;
    EXPECT_EQ(result.SectorsAfter, static_cast<std::int64_t>(c.SectorsAfter)) << c.What;
    EXPECT_EQ(result.Line, c.Line) << c.What;
    ASSERT_EQ(ata.Sent.size(), 3U) << c.What;
    EXPECT_EQ(ata.Sent[0].Command, c.Lba48 ? 0x27 : 0xF8) << c.What;
    EXPECT_TRUE(ata.Sent[0].ReturnRegisters) << c.What;
    const AtaCommand setMax = ata.Sent[1];
    EXPECT_EQ(setMax.Command, c.Lba48 ? 0x37 : 0xF9) << c.What;
    EXPECT_EQ(setMax.Extended, c.Lba48) << c.What;
    EXPECT_EQ(setMax.Lba, 1'002'047U) << c.What;
    EXPECT_EQ(setMax.Count & 1U, 0U) << "volatile: " << c.What;
    EXPECT_EQ(ata.Sent[2].Command, 0xEC) << c.What;
  }
}

TEST(HiddenAreaReveal, NoSetMaxWithoutAHostProtectedAreaAndAKnownNativeMaximum) {
  struct Case {
    const char* What;
    AtaSector Identify;
    HiddenAreaReport Report;
    std::deque<AtaReply> Replies;
    const char* Why;
  };
  HiddenAreaReport notChecked;
  notChecked.ReportedSectors = 1'000'000;
  const std::vector<Case> cases = {
      {"no HPA feature", Identify(false, true, 1'000'000), Hidden(1'000'000, 1'002'048), {}, "no host protected area"},
      {"native max unknown", Identify(true, true, 1'000'000), notChecked, {}, "native size is unknown"},
      {"a DCO hides them",
       Identify(true, true, 1'000'000),
       Hidden(1'000'000, 1'000'000, 1'500'000),
       {},
       "device configuration overlay"},
      {"nothing hidden", Identify(true, true, 1'000'000), Hidden(1'000'000, 1'000'000), {}, "no sectors are hidden"},
      {"native max moved",
       Identify(true, true, 1'000'000),
       Hidden(1'000'000, 1'002'048),
       {Completed(5'000'000)},
       "native size changed"},
      {"native max not delivered",
       Identify(true, true, 1'000'000),
       Hidden(1'000'000, 1'002'048),
       {AtaReply{}},
       "READ NATIVE MAX ADDRESS EXT was not delivered"},
  };
  for (const Case& c : cases) {
    ScriptedChannel ata;
    ata.Replies = c.Replies;
    const HiddenAreaReveal result = RevealHiddenArea(c.Identify, c.Report, ata);
    EXPECT_FALSE(result.Sent) << c.What;
    EXPECT_FALSE(result.Confirmed) << c.What;
    EXPECT_NE(result.Line.find(c.Why), std::string::npos) << c.What << ": " << result.Line;
    EXPECT_EQ(ata.Sent.size(), c.Replies.size()) << c.What;
  }
}

}  // namespace
}  // namespace vellumar

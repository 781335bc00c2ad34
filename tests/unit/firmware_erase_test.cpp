#include "devices/firmware/firmware_erase.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>

#include "devices/firmware/ata_firmware_commands.h"
#include "support/fake_ata_drive.h"
#include "support/fake_clock.h"
#include "support/log_capture.h"

namespace vellumar {
namespace firmware_erase_test {
namespace {

using testing::FakeAtaDrive;
using testing::SanitizeStatusReply;

struct Rig {
  Rig() : logs(clock, LocaleSettings{}), capture(logs.BenchMark) {}

  FirmwareRunResult Run(FirmwareMethod method) {
    FirmwareRunContext context{&drive,
                               nullptr,
                               logs,
                               clock,
                               display,
                               observer,
                               [this](std::uint32_t) { ++pauses; },
                               [] { return std::string("Pw7xQ2mK"); }};
    facts.Path = FirmwarePath::Ata;
    return RunFirmwareErase(method, facts, context);
  }
  bool Logged(const std::string& text) const {
    const auto texts = capture.Texts();
    return std::any_of(texts.begin(), texts.end(),
                       [&](const std::string& t) { return t.find(text) != std::string::npos; });
  }

  testing::FakeClock clock;
  LogSinks logs;
  testing::LogCapture capture;
  FormatDisplay display;
  FormatObserver observer;
  FakeAtaDrive drive;
  FirmwareFacts facts;
  int pauses = 0;
};

TEST(AtaSecurityErase, ErasesWithAPasswordThatIsLoggedOnlyAsSet) {
  Rig rig;
  const FirmwareRunResult result = rig.Run(FirmwareMethod::AtaEnhancedSecureErase);
  EXPECT_TRUE(result.Succeeded) << result.Why;
  EXPECT_TRUE(rig.drive.EnhancedUsed());
  EXPECT_FALSE(rig.drive.Enabled);
  EXPECT_EQ(result.EstimateMinutes, 6U);  // word 90 = 3 units of two minutes
  EXPECT_TRUE(rig.Logged("Security password: set"));
  EXPECT_FALSE(rig.Logged("Pw7xQ2mK"));
  // ERASE UNIT waits at least as long as the drive's estimate allows.
  const auto unit =
      std::find_if(rig.drive.Sent.begin(), rig.drive.Sent.end(), [](const AtaCommand& c) { return c.Command == 0xF4; });
  ASSERT_NE(unit, rig.drive.Sent.end());
  EXPECT_GE(unit->TimeoutSeconds, 6U * 60U);
}

// A drive in any of these states gets no command that changes it.
TEST(AtaSecurityErase, RefusesBeforeSendingAnything) {
  const std::vector<std::pair<std::string, std::function<void(FakeAtaDrive&)>>> cases{
      {"frozen", [](FakeAtaDrive& d) { d.Frozen = true; }},
      {"locked",
       [](FakeAtaDrive& d) {
         d.Locked = true;
         d.Enabled = true;
       }},
      {"password set", [](FakeAtaDrive& d) { d.Enabled = true; }},
      {"enhanced unsupported", [](FakeAtaDrive& d) { d.Enhanced = false; }},
  };
  for (const auto& [name, arrange] : cases) {
    Rig rig;
    arrange(rig.drive);
    const FirmwareRunResult result = rig.Run(FirmwareMethod::AtaEnhancedSecureErase);
    EXPECT_FALSE(result.Succeeded) << name;
    EXPECT_FALSE(result.Sent) << name;
    EXPECT_FALSE(rig.drive.SentCommand(0xF1)) << name;
  }
  Rig frozen;
  frozen.drive.Frozen = true;
  frozen.Run(FirmwareMethod::AtaSecureErase);
  EXPECT_TRUE(frozen.Logged("Suspend the computer and resume it"));
}

// Whatever fails after SET PASSWORD, the drive ends without the password, or the password is in
// the log and the result says so.
TEST(AtaSecurityErase, NoFailureLeavesAPasswordUntold) {
  const std::vector<std::pair<std::string, std::function<void(FakeAtaDrive&)>>> cases{
      {"erase aborted", [](FakeAtaDrive& d) { d.AbortEraseUnit = true; }},
      {"erase aborted, drive locked", [](FakeAtaDrive& d) { d.AbortEraseUnit = d.LockAfterFailedErase = true; }},
      {"bridge drops the erase", [](FakeAtaDrive& d) { d.BridgeDropsAfterSetPassword = true; }},
      {"still enabled after the erase", [](FakeAtaDrive& d) { d.StaysEnabledAfterErase = true; }},
  };
  for (const auto& [name, arrange] : cases) {
    Rig rig;
    arrange(rig.drive);
    const FirmwareRunResult result = rig.Run(FirmwareMethod::AtaSecureErase);
    EXPECT_FALSE(result.Succeeded) << name;
    EXPECT_EQ(result.PasswordLeftSet, rig.drive.Enabled) << name;
    if (rig.drive.Enabled) {
      EXPECT_EQ(result.Password, rig.drive.Password) << name;
      EXPECT_TRUE(rig.Logged("\"" + rig.drive.Password + "\"")) << name;
    } else {
      EXPECT_TRUE(rig.Logged("Security password removed again.")) << name;
    }
  }
}

TEST(AtaSanitize, FollowsTheStatusToItsEnd) {
  Rig rig;
  rig.drive.Word59 = 0xF000;  // sanitize with all three actions
  rig.drive.SanitizeStatus = {SanitizeStatusReply(0), SanitizeStatusReply(0x4000, 0x8000), SanitizeStatusReply(0x8000)};
  const FirmwareRunResult result = rig.Run(FirmwareMethod::AtaSanitizeBlock);
  EXPECT_TRUE(result.Succeeded) << result.Why;
  EXPECT_EQ(rig.pauses, 2);
  const AtaCommand& start = rig.drive.Sent[1];
  EXPECT_EQ(start.Feature, 0x0012);
  EXPECT_EQ(start.Lba, 0x426B4572U);  // "BkEr"

  Rig failed;
  failed.drive.SanitizeStatus = {SanitizeStatusReply(0), SanitizeStatusReply(0)};  // done, not without error
  EXPECT_FALSE(failed.Run(FirmwareMethod::AtaSanitizeOverwrite).Succeeded);

  Rig running;
  running.drive.SanitizeStatus = {SanitizeStatusReply(0x4000, 100)};
  const FirmwareRunResult refused = running.Run(FirmwareMethod::AtaSanitizeCrypto);
  EXPECT_FALSE(refused.Sent);
  EXPECT_EQ(running.drive.Sent.size(), 1U);  // the status query alone
}

TEST(EraseTime, DecodesBothFormatsAndGivesGenerousTimeouts) {
  EXPECT_FALSE(DecodeEraseTime(0).Reported);
  EXPECT_EQ(DecodeEraseTime(30).Minutes, 60U);
  const EraseTimeEstimate top = DecodeEraseTime(255);
  EXPECT_TRUE(top.AtLeast);
  EXPECT_EQ(top.Minutes, 508U);
  EXPECT_EQ(DecodeEraseTime(0x8000U | 1000U).Minutes, 2000U);
  EXPECT_TRUE(DecodeEraseTime(0xFFFF).AtLeast);
  EXPECT_EQ(EraseTimeoutSeconds({}), 12U * 3600U);
  EXPECT_GT(EraseTimeoutSeconds(DecodeEraseTime(30)), 60U * 60U);
  EXPECT_GT(EraseTimeoutSeconds(top), 508U * 60U);
}

}  // namespace
}  // namespace firmware_erase_test
}  // namespace vellumar

namespace vellumar {
namespace firmware_nvme_test {
namespace {

// A controller that completes every command and answers the sanitize log from a script.
class SanitizingNvme final : public NvmeAdminChannel {
 public:
  std::optional<std::uint32_t> NamespaceId() override { return 1; }
  NvmeAdminResult Execute(const NvmeAdminCommand& command, std::span<std::uint8_t> data) override {
    Commands.push_back(command);
    if (command.Opcode == kNvmeAdminGetLogPage && !Logs.empty()) {
      std::fill(data.begin(), data.end(), 0);
      data[0] = static_cast<std::uint8_t>(Logs.front().second & 0xFFU);
      data[1] = static_cast<std::uint8_t>(Logs.front().second >> 8U);
      data[2] = Logs.front().first;
      data[4] = static_cast<std::uint8_t>(Commands.front().Cdw10 & 0xFFU);  // the action that started it
      if (Logs.size() > 1) {
        Logs.erase(Logs.begin());
      }
    }
    return {NvmeAdminOutcome::Completed, 0, 0, data.size()};
  }
  // (SSTAT, SPROG) per poll.
  std::vector<std::pair<std::uint8_t, std::uint16_t>> Logs;
  std::vector<NvmeAdminCommand> Commands;
};

TEST(NvmeFirmwareErase, SanitizeIsFollowedThroughItsLogAndFormatKeepsTheLbaFormat) {
  testing::FakeClock clock;
  LogSinks logs(clock, LocaleSettings{});
  FormatDisplay display;
  FormatObserver observer;
  SanitizingNvme nvme;
  nvme.Logs = {{2, 0x4000}, {1, 0xFFFF}};
  FirmwareFacts facts;
  facts.Path = FirmwarePath::Nvme;
  facts.NamespaceId = 3;
  facts.LbaFormat = 17;
  FirmwareRunContext context{
      nullptr, &nvme, logs, clock, display, observer, [](std::uint32_t) {}, [] { return std::string(); }};
  const FirmwareRunResult sanitized = RunFirmwareErase(FirmwareMethod::NvmeSanitizeOverwrite, facts, context);
  EXPECT_TRUE(sanitized.Succeeded) << sanitized.Why;
  EXPECT_EQ(nvme.Commands.front().Opcode, kNvmeAdminSanitize);
  EXPECT_EQ(nvme.Commands.front().Cdw10, 0x13U);  // overwrite, one pass, no unrestricted exit

  nvme.Commands.clear();
  const FirmwareRunResult formatted = RunFirmwareErase(FirmwareMethod::NvmeFormatCrypto, facts, context);
  EXPECT_TRUE(formatted.Succeeded) << formatted.Why;
  ASSERT_FALSE(nvme.Commands.empty());
  EXPECT_EQ(nvme.Commands.front().NamespaceId, 3U);
  // LBAF 17: 1 in bits 3:0, 1 in bits 13:12; SES 2 (crypto) in bits 11:9.
  EXPECT_EQ(nvme.Commands.front().Cdw10, 0x1U | (0x1U << 12U) | (0x2U << 9U));

  std::array<std::uint8_t, kNvmeSanitizeLogBytes> page{};
  page[2] = 3;  // failed
  std::fill(page.begin() + 8, page.begin() + 12, 0xFF);
  const NvmeSanitizeStatus status = DecodeNvmeSanitizeLog(page);
  EXPECT_EQ(status.State, NvmeSanitizeState::Failed);
  EXPECT_FALSE(status.OverwriteSeconds.has_value());
  EXPECT_EQ(status.BlockEraseSeconds, 0U);
}

TEST(FirmwareOffers, EachRefusalHasItsReason) {
  FirmwareFacts nvme;
  nvme.Path = FirmwarePath::Nvme;
  nvme.Nvme = NvmeController{};
  nvme.Nvme->FormatNvm = true;  // the emulated controller: Format, no crypto erase, no Sanitize
  EXPECT_EQ(OfferFirmwareMethod(nvme, FirmwareMethod::NvmeFormat, false).State, MethodState::Supported);
  EXPECT_EQ(OfferFirmwareMethod(nvme, FirmwareMethod::NvmeFormatCrypto, false).State, MethodState::NotSupported);
  EXPECT_EQ(OfferFirmwareMethod(nvme, FirmwareMethod::NvmeSanitizeBlock, false).State, MethodState::NotSupported);
  EXPECT_EQ(OfferFirmwareMethod(nvme, FirmwareMethod::AtaSecureErase, true).State, MethodState::NotSupported);
  nvme.Nvme->FormatAllNamespaces = true;
  nvme.OtherNamespaces = {"/dev/nvme0n2"};
  EXPECT_EQ(OfferFirmwareMethod(nvme, FirmwareMethod::NvmeFormat, false).Why, "other namespaces");
  nvme.OtherNamespaces.clear();
  nvme.NvmeSanitize = NvmeSanitizeStatus{};
  nvme.NvmeSanitize->State = NvmeSanitizeState::InProgress;
  EXPECT_EQ(OfferFirmwareMethod(nvme, FirmwareMethod::NvmeFormat, false).Why, "sanitize in progress");

  FirmwareFacts usb;
  usb.Path = FirmwarePath::AtaBridge;
  usb.Bridge = "USB";
  usb.Ata = AtaEraseFeatures{};
  usb.Ata->SecuritySupported = true;
  EXPECT_EQ(OfferFirmwareMethod(usb, FirmwareMethod::AtaSecureErase, false).Why, "bridge");
  EXPECT_EQ(OfferFirmwareMethod(usb, FirmwareMethod::AtaSecureErase, true).State, MethodState::Supported);
  EXPECT_EQ(OfferFirmwareMethod(usb, FirmwareMethod::NvmeFormat, true).State, MethodState::NotSupported);
  usb.Ata->Frozen = true;
  EXPECT_EQ(MethodStateText(OfferFirmwareMethod(usb, FirmwareMethod::AtaSecureErase, true)), "refused (frozen)");
}

}  // namespace
}  // namespace firmware_nvme_test
}  // namespace vellumar

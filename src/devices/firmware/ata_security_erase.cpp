#include <string>

#include "devices/firmware/ata_firmware_commands.h"
#include "devices/firmware/firmware_erase.h"
#include "devices/firmware/firmware_progress.h"

namespace vellumar {

namespace {

// One erase with the user password it sets. Whatever happens after the password was set, the
// drive is left without it, or the password is in the log.
class SecurityEraseRun {
 public:
  SecurityEraseRun(bool enhanced, FirmwareRunContext& context) : enhanced_(enhanced), context_(context) {}

  FirmwareRunResult Run(const FirmwareFacts& facts);

 private:
  bool Send(std::uint8_t command, const std::string& password, bool enhancedBit, std::uint32_t timeout,
            AtaReply& reply);
  FirmwareRunResult Fail(const std::string& why);
  FirmwareRunResult FailAndRemovePassword(const std::string& why);
  void RemovePassword();

  bool enhanced_;
  FirmwareRunContext& context_;
  AtaCommandChannel& ata() { return *context_.Ata; }
  std::string password_;
  FirmwareRunResult result_;
};

bool SecurityEraseRun::Send(std::uint8_t command, const std::string& password, bool enhancedBit, std::uint32_t timeout,
                            AtaReply& reply) {
  AtaSector sector = SecurityPasswordSector(password, enhancedBit);
  reply = ata().Run(SecurityDataCommand(command, timeout), sector);
  result_.Status = AtaReplyText(reply);
  return reply.Kind == AtaReplyKind::Completed;
}

FirmwareRunResult SecurityEraseRun::Fail(const std::string& why) {
  result_.Succeeded = false;
  result_.Why = why;
  context_.Logs.BenchMarkLog("Error: " + why);
  return result_;
}

void SecurityEraseRun::RemovePassword() {
  // A drive left locked after a failed erase must be unlocked before the password can go.
  const std::optional<AtaEraseFeatures> before = ReadEraseFeatures(ata());
  AtaReply reply;
  if (!before || before->Locked) {
    Send(kAtaSecurityUnlock, password_, false, 60, reply);
  }
  Send(kAtaSecurityDisablePassword, password_, false, 60, reply);
  const std::optional<AtaEraseFeatures> after = ReadEraseFeatures(ata());
  if (after && !after->SecurityEnabled && !after->Locked) {
    context_.Logs.BenchMarkLog("Security password removed again.");
    return;
  }
  // Never a drive with a password nobody knows: it goes to the log and the terminal.
  result_.PasswordLeftSet = true;
  result_.Password = password_;
  context_.Logs.BenchMarkLog("WARNING: the drive still has the user security password \"" + password_ +
                             "\". Unlock the drive with it and disable the password before using the drive.");
}

FirmwareRunResult SecurityEraseRun::FailAndRemovePassword(const std::string& why) {
  FirmwareRunResult failed = Fail(why);
  RemovePassword();
  failed.PasswordLeftSet = result_.PasswordLeftSet;
  failed.Password = result_.Password;
  return failed;
}

FirmwareRunResult SecurityEraseRun::Run(const FirmwareFacts& facts) {
  const FirmwareMethod method = enhanced_ ? FirmwareMethod::AtaEnhancedSecureErase : FirmwareMethod::AtaSecureErase;
  // The state is read again right before the first command: the facts may be minutes old.
  const std::optional<AtaEraseFeatures> now = ReadEraseFeatures(ata());
  if (!now) {
    return Fail("the drive did not answer IDENTIFY DEVICE");
  }
  FirmwareFacts current = facts;
  current.Ata = *now;
  const MethodOffer offer = OfferFirmwareMethod(current, method, true);
  if (offer.State != MethodState::Supported) {
    return Fail(offer.Line);
  }
  const EraseTimeEstimate estimate = enhanced_ ? now->EnhancedErase : now->NormalErase;
  if (estimate.Reported) {
    result_.EstimateMinutes = estimate.Minutes;
  }
  context_.Logs.BenchMarkLog("Erase time estimate of the drive: " + EraseTimeText(estimate));

  password_ = context_.NewPassword();
  result_.Sent = true;
  AtaReply reply;
  const bool setOk = Send(kAtaSecuritySetPassword, password_, false, 60, reply);
  // A bridge may drop the answer of a command the drive did carry out: the drive decides.
  const std::optional<AtaEraseFeatures> set = ReadEraseFeatures(ata());
  if (!set || set->SecurityEnabled) {
    context_.Logs.BenchMarkLog("Security password: set");
  }
  if (!set) {
    return FailAndRemovePassword("the drive did not answer IDENTIFY DEVICE after SECURITY SET PASSWORD");
  }
  if (!set->SecurityEnabled) {
    return Fail(setOk ? "the drive reports no password after SECURITY SET PASSWORD"
                      : "SECURITY SET PASSWORD was " + result_.Status);
  }
  AtaCommand prepare;  // non-data; it must come right before ERASE UNIT
  prepare.Command = kAtaSecurityErasePrepare;
  reply = ata().Run(prepare, {});
  result_.Status = AtaReplyText(reply);
  if (reply.Kind != AtaReplyKind::Completed) {
    return FailAndRemovePassword("SECURITY ERASE PREPARE was " + result_.Status);
  }
  context_.Logs.BenchMarkLog("Sending " + FirmwareMethodCommand(method) + "...");
  FirmwareProgress progress(context_, result_.EstimateMinutes);
  progress.TickWhileBlocked();
  const bool erased = Send(kAtaSecurityEraseUnit, password_, enhanced_, EraseTimeoutSeconds(estimate), reply);
  progress.Stop();
  result_.Seconds = progress.ElapsedSeconds();
  if (!erased) {
    return FailAndRemovePassword("SECURITY ERASE UNIT was " + result_.Status);
  }
  // Success is what the drive says afterwards: an erased drive has its security disabled.
  const std::optional<AtaEraseFeatures> after = ReadEraseFeatures(ata());
  if (!after || after->SecurityEnabled || after->Locked) {
    return FailAndRemovePassword("the drive still reports its security enabled after SECURITY ERASE UNIT");
  }
  progress.Finished();
  context_.Logs.BenchMarkLog("The drive reports its security disabled again.");
  result_.Succeeded = true;
  return result_;
}

}  // namespace

FirmwareRunResult RunAtaSecurityErase(bool enhanced, const FirmwareFacts& facts, FirmwareRunContext& context) {
  SecurityEraseRun run(enhanced, context);
  return run.Run(facts);
}

}  // namespace vellumar

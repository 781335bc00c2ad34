#pragma once

#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "devices/ata/ata_command.h"
#include "devices/ata/ata_transport.h"

namespace vellumar::testing {

// An ATA drive's security and sanitize state machine, played behind the command channel, with
// the ways a drive or a bridge lets a firmware erase down.
class FakeAtaDrive final : public AtaCommandChannel {
 public:
  // What the drive reports and how it misbehaves.
  bool SecuritySupported = true;
  bool Enhanced = true;
  bool Frozen = false;
  bool Enabled = false;
  bool Locked = false;
  std::uint16_t Word89 = 2;  // four minutes
  std::uint16_t Word90 = 3;
  std::uint16_t Word59 = 0;
  bool AbortEraseUnit = false;               // the drive refuses the erase; the password stays set
  bool LockAfterFailedErase = false;         // ... and the drive is locked too
  bool BridgeDropsAfterSetPassword = false;  // every data-out after SET PASSWORD is lost on the way
  bool StaysEnabledAfterErase = false;       // claims success, still reports security enabled
  bool IdentifyFails = false;
  // SANITIZE STATUS EXT answers, one per poll; the last repeats. Count register values.
  std::vector<AtaReply> SanitizeStatus;
  bool AbortSanitize = false;
  // Called when an erase completes, so a test's disk can read back as the erased drive would.
  std::function<void()> OnErase;

  std::vector<AtaCommand> Sent;
  std::string Password;  // the user password the drive holds
  std::string LastDataOut;

  AtaReply Run(const AtaCommand& command, std::span<std::uint8_t> data) override {
    Sent.push_back(command);
    const bool afterSet = setPasswordSeen_ && BridgeDropsAfterSetPassword;
    switch (command.Command) {
      case 0xEC:
        if (IdentifyFails) {
          return {};
        }
        Identify(data);
        return Good();
      case 0xF1:  // SET PASSWORD
        setPasswordSeen_ = true;
        if (Frozen) {
          return Abort();
        }
        Enabled = true;
        Password = PasswordOf(data);
        // A bridge that passes the command but loses its answer.
        return BridgeDropsAfterSetPassword ? AtaReply{} : Good();
      case 0xF3:
        return afterSet ? AtaReply{} : Good();
      case 0xF4:  // ERASE UNIT
        if (afterSet) {
          return {};
        }
        if (AbortEraseUnit || PasswordOf(data) != Password) {
          Locked = LockAfterFailedErase;
          return Abort();
        }
        enhancedUsed_ = (data[0] & 0x02U) != 0;
        if (OnErase) {
          OnErase();
        }
        Enabled = StaysEnabledAfterErase;
        if (!Enabled) {
          Password.clear();
        }
        return Good();
      case 0xF2:  // UNLOCK
        if (afterSet || PasswordOf(data) != Password) {
          return afterSet ? AtaReply{} : Abort();
        }
        Locked = false;
        return Good();
      case 0xF6:  // DISABLE PASSWORD
        if (afterSet || Locked || PasswordOf(data) != Password) {
          return afterSet ? AtaReply{} : Abort();
        }
        Enabled = false;
        Password.clear();
        return Good();
      case 0xB4:
        return Sanitize(command);
      default:
        return Abort();
    }
  }

  bool EnhancedUsed() const { return enhancedUsed_; }
  bool SentCommand(std::uint8_t code) const {
    for (const AtaCommand& c : Sent) {
      if (c.Command == code) {
        return true;
      }
    }
    return false;
  }

 private:
  static AtaReply Good() {
    AtaReply reply;
    reply.Kind = AtaReplyKind::Completed;
    reply.RegistersKnown = true;
    reply.Status = 0x50;
    return reply;
  }
  static AtaReply Abort() {
    AtaReply reply;
    reply.Kind = AtaReplyKind::DeviceError;
    reply.RegistersKnown = true;
    reply.Status = 0x51;
    reply.Error = 0x04;
    return reply;
  }
  static std::string PasswordOf(std::span<std::uint8_t> data) {
    if (data.size() < 34) {
      return {};
    }
    return std::string(reinterpret_cast<const char*>(data.data()) + 2,
                       strnlen(reinterpret_cast<const char*>(data.data()) + 2, 32));
  }
  static void Put(std::span<std::uint8_t> data, std::size_t word, std::uint16_t value) {
    data[2 * word] = static_cast<std::uint8_t>(value & 0xFFU);
    data[2 * word + 1] = static_cast<std::uint8_t>(value >> 8U);
  }
  void Identify(std::span<std::uint8_t> data) {
    std::fill(data.begin(), data.end(), 0);
    Put(data, 82, static_cast<std::uint16_t>(0x4000U | (SecuritySupported ? 0x0002U : 0U)));
    Put(data, 83, 0x4400);  // valid, 48-bit
    Put(data, 59, Word59);
    Put(data, 89, Word89);
    Put(data, 90, Word90);
    Put(data, 100, 70'000 & 0xFFFF);
    Put(data, 101, 70'000 >> 16);
    std::uint16_t w128 = 0;
    if (SecuritySupported) {
      w128 = static_cast<std::uint16_t>(0x0001U | (Enabled ? 0x0002U : 0U) | (Locked ? 0x0004U : 0U) |
                                        (Frozen ? 0x0008U : 0U) | (Enhanced ? 0x0020U : 0U));
    }
    Put(data, 128, w128);
  }
  AtaReply Sanitize(const AtaCommand& command) {
    if (command.Feature != 0) {
      return AbortSanitize ? Abort() : Good();
    }
    if (SanitizeStatus.empty()) {
      return Abort();
    }
    const AtaReply reply = SanitizeStatus.front();
    if (SanitizeStatus.size() > 1) {
      SanitizeStatus.erase(SanitizeStatus.begin());
    }
    return reply;
  }

  bool setPasswordSeen_ = false;
  bool enhancedUsed_ = false;
};

// A SANITIZE STATUS EXT answer with `count` in the count register and `progress` in LBA 15:0.
inline AtaReply SanitizeStatusReply(std::uint16_t count, std::uint16_t progress = 0) {
  AtaReply reply;
  reply.Kind = AtaReplyKind::Completed;
  reply.RegistersKnown = true;
  reply.Count = count;
  reply.Lba = progress;
  return reply;
}

}  // namespace vellumar::testing

#include "devices/reports/firmware_json.h"

#include <algorithm>

namespace vellumar {

namespace {

const char* StateName(MethodState state) {
  switch (state) {
    case MethodState::Supported:
      return "supported";
    case MethodState::Refused:
      return "refused";
    case MethodState::NotSupported:
      break;
  }
  return "not supported";
}

std::string EstimateText(const MethodOffer& offer) {
  if (!offer.EstimateMinutes) {
    return "";
  }
  return (offer.EstimateAtLeast ? "more than " : "about ") + std::to_string(*offer.EstimateMinutes) + " min";
}

int Percent(std::uint16_t progress) { return static_cast<int>(static_cast<std::uint32_t>(progress) * 100U / 65536U); }

const char* PathName(FirmwarePath path) {
  switch (path) {
    case FirmwarePath::Ata:
      return "ata";
    case FirmwarePath::AtaBridge:
      return "ata-bridge";
    case FirmwarePath::Nvme:
      return "nvme";
    case FirmwarePath::None:
      break;
  }
  return "none";
}

Json SecurityJson(const AtaEraseFeatures& ata) {
  return {{"supported", ata.SecuritySupported},
          {"enabled", ata.SecurityEnabled},
          {"locked", ata.Locked},
          {"frozen", ata.Frozen},
          {"count_expired", ata.CountExpired},
          {"enhanced_erase", ata.EnhancedSupported},
          {"erase_minutes", ata.NormalErase.Reported ? Json(ata.NormalErase.Minutes) : Json(nullptr)},
          {"enhanced_erase_minutes", ata.EnhancedErase.Reported ? Json(ata.EnhancedErase.Minutes) : Json(nullptr)}};
}

}  // namespace

Json FirmwareJson(const FirmwareFacts& facts, const std::vector<MethodOffer>& offers) {
  Json methods = Json::array();
  for (const MethodOffer& offer : offers) {
    methods.push_back({{"method", FirmwareMethodName(offer.Method)},
                       {"command", FirmwareMethodCommand(offer.Method)},
                       {"state", StateName(offer.State)},
                       {"reason", offer.Why.empty() ? Json(nullptr) : Json(offer.Why)},
                       {"explanation", offer.Line.empty() ? Json(nullptr) : Json(offer.Line)},
                       {"estimate_minutes", JsonOptional(offer.EstimateMinutes)},
                       {"estimate_is_lower_bound", offer.EstimateAtLeast},
                       {"cannot_be_stopped", IsSanitizeMethod(offer.Method)}});
  }
  Json doc;
  doc["path"] = PathName(facts.Path);
  doc["methods"] = methods;
  doc["ata_security"] = facts.Ata ? SecurityJson(*facts.Ata) : Json(nullptr);
  doc["sanitize_in_progress"] = facts.SanitizeInProgress();
  doc["sanitize_percent"] = facts.SanitizeInProgress() ? Json(Percent(facts.SanitizeProgress())) : Json(nullptr);
  return doc;
}

std::vector<std::string> FirmwareLines(const FirmwareFacts& facts, const std::vector<MethodOffer>& offers) {
  std::vector<std::string> lines;
  for (const MethodOffer& offer : offers) {
    std::string line = FirmwareMethodName(offer.Method);
    line.resize(std::max<std::size_t>(line.size() + 1, 27), ' ');
    std::string state = MethodStateText(offer);
    const std::string estimate = EstimateText(offer);
    if (!estimate.empty()) {
      state.resize(std::max<std::size_t>(state.size() + 1, 32), ' ');
      state += "estimate: " + estimate;
    }
    lines.push_back(line + state);
  }
  if (facts.Ata && facts.Ata->SecuritySupported) {
    const AtaEraseFeatures& a = *facts.Ata;
    lines.push_back(std::string("ATA security: ") + (a.SecurityEnabled ? "enabled" : "disabled") +
                    (a.Locked ? ", locked" : "") + (a.Frozen ? ", frozen" : ", not frozen") +
                    (a.CountExpired ? ", password attempts expired" : ""));
  }
  if (facts.SanitizeInProgress()) {
    lines.push_back("A sanitize is in progress: " + std::to_string(Percent(facts.SanitizeProgress())) +
                    " % done. It cannot be stopped; it can only be followed.");
  }
  return lines;
}

}  // namespace vellumar

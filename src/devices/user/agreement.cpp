#include "devices/user/agreement.h"

namespace vellumar {

std::string AgreementMarkerPath(const std::string& folder) {
  // Without a per-user folder there is nowhere to remember the answer; it is asked every time.
  return folder.empty() ? std::string() : folder + "/blanker.4.50.agreement";
}

bool AgreementRecorded(const std::string& markerPath, UserFileAccess& files) {
  if (markerPath.empty()) {
    return false;
  }
  // Two bytes tell "1" from "1" with anything after it; a huge file is never read whole.
  const std::optional<std::string> content = files.ReadSmallFile(markerPath, 2);
  // An unreadable marker counts as absent: the agreement is asked for again.
  return content.has_value() && *content == "1";
}

void RecordAgreement(const std::string& markerPath, UserFileAccess& files) {
  if (markerPath.empty()) {
    return;
  }
  // Not reported when it fails: this run goes on and the next start asks again.
  files.WriteSmallFile(markerPath, "1");
}

}  // namespace vellumar

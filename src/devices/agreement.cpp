#include "devices/agreement.h"

#include <filesystem>
#include <ios>
#include <system_error>

#include "devices/text_files.h"

namespace vellumar {

std::string AgreementMarkerPath(const std::string& folder) {
  // Without a per-user folder there is nowhere to remember the answer; it is asked every time.
  return folder.empty() ? std::string() : folder + "/blanker.4.50.agreement";
}

bool AgreementRecorded(const std::string& markerPath) {
  if (markerPath.empty()) {
    return false;
  }
  try {
    return ReadTextFile(markerPath) == "1";
  } catch (const std::ios_base::failure&) {
    // An unreadable marker counts as absent: the agreement is asked for again.
    return false;
  }
}

void RecordAgreement(const std::string& markerPath) {
  if (markerPath.empty()) {
    return;
  }
  // A fresh account (root under pkexec, say) may not have the data folder yet.
  std::error_code ignored;
  std::filesystem::create_directories(std::filesystem::path(markerPath).parent_path(), ignored);
  try {
    WriteTextFile(markerPath, "1");
  } catch (const std::ios_base::failure&) {
    // Not reported: this run goes on and the next start asks again.
  }
}

}  // namespace vellumar

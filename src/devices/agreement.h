#pragma once

#include <string>

namespace vellumar {

// The end-user agreement the program asks for once per version, shared by the desktop program
// and vellumar-cli.
extern const char* const kAgreementText;

// blanker.4.50.agreement directly in `folder`; the version is part of the name so that every
// new version asks again.
std::string AgreementMarkerPath(const std::string& folder);

// True only when the marker holds exactly the one byte "1" (no line end, no blanks).
bool AgreementRecorded(const std::string& markerPath);

// Writes the single byte "1"; a marker that cannot be written is passed over silently.
void RecordAgreement(const std::string& markerPath);

}  // namespace vellumar

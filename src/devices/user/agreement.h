#pragma once

#include <cstddef>
#include <optional>
#include <string>

namespace vellumar {

// The end-user agreement the program asks for once per version, shared by the desktop program
// and vellumar-cli.
extern const char* const kAgreementText;

// Reads and writes small files in a user's folder. The platform's implementation works with
// that user's identity, never follows a link at the file's own name and accepts only a regular
// file, so a link planted at the marker cannot lead root to a device or into someone's files.
class UserFileAccess {
 public:
  virtual ~UserFileAccess() = default;
  // At most `maxBytes` of the file; nothing when it is absent, not a regular file, a link, or
  // unreadable.
  virtual std::optional<std::string> ReadSmallFile(const std::string& path, std::size_t maxBytes) = 0;
  // Creates or replaces the file with exactly `bytes`, creating missing folders; false on failure.
  virtual bool WriteSmallFile(const std::string& path, const std::string& bytes) = 0;
};

// blanker.4.50.agreement directly in `folder`; the version is part of the name so that every
// new version asks again.
std::string AgreementMarkerPath(const std::string& folder);

// True only when the marker holds exactly the one byte "1" (no line end, no blanks).
bool AgreementRecorded(const std::string& markerPath, UserFileAccess& files);

// Writes the single byte "1"; a marker that cannot be written is passed over silently.
void RecordAgreement(const std::string& markerPath, UserFileAccess& files);

}  // namespace vellumar

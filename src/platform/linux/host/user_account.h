#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "devices/user/user_session.h"

namespace vellumar::platform {

// The process's environment as an EnvironmentReader.
vellumar::EnvironmentReader ProcessEnvironment();

// The account of `uid` from the password database, with its group list.
std::optional<vellumar::UserAccount> LookUpAccount(std::uint32_t uid);

// The person the program acts for: the invoking user when root runs for someone (PKEXEC_UID
// or SUDO_UID), else the account of the process itself.
std::optional<vellumar::UserAccount> DeskUser(const vellumar::EnvironmentReader& environment);

// True when `user` is someone other than the process's effective user, so files and programs
// need the identity switched.
bool ActsForAnotherUser(const vellumar::UserAccount& user);

// The data folder that holds the user's marker and reports: for an invoking user their
// XDG_DATA_HOME, or ~/.local/share from their password entry (never root's $HOME); for the
// process's own user $XDG_DATA_HOME or $HOME/.local/share.
std::string UserDataFolder(const vellumar::UserAccount& user, const vellumar::EnvironmentReader& environment);

// The user's Documents folder in their home from the password entry, or the home itself when
// there is none (a link there is not taken for a folder).
std::string UserDocumentsFolder(const vellumar::UserAccount& user);

// What /run/user/UID offers when the environment lost the session variables.
vellumar::RuntimeFolderFacts ReadRuntimeFolder(const vellumar::UserAccount& user,
                                               const std::string& runtimeRoot = "/run/user");

}  // namespace vellumar::platform

#pragma once

#include <string>

namespace vellumar {

// Reads a small existing file as 8-bit text; a file that cannot be opened for reading and
// writing gives empty text. A read error after a successful open raises std::ios_base::failure.
std::string ReadTextFile(const std::string& path);

// Creates or truncates the file and writes the text, without a line end. A file that cannot
// be created is passed over silently; a write error raises std::ios_base::failure.
void WriteTextFile(const std::string& path, const std::string& text);

// The per-user data folder without a trailing slash: $XDG_DATA_HOME when it is an absolute
// path, else $HOME/.local/share; empty when neither is known.
std::string LocalAppDataFolder();

}  // namespace vellumar

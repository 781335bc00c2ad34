#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace vellumar::platform {

// Small files the program reads and makes for itself as root: signing keys, the certificate
// settings, and the certificates an auditor hands it. None is ever reached through a link at its
// last part, and none may be a device or a pipe.

enum class FileRead { Read, Missing, Refused };

// How far a file must be the program's own: Private for a key (it belongs to this process's user
// and nobody else may touch it), Protected for settings (this user's or root's, and nobody else
// may write it).
enum class FileTrust { Private, Protected };

// Reads the whole of `path`, at most `maxBytes`. Missing when nothing is there; Refused with
// `error` for anything else that is wrong, ownership and mode included.
FileRead ReadOwnFile(const std::string& path, FileTrust trust, std::size_t maxBytes, std::string& bytes,
                     std::string& error);

// Makes the private file `path` (mode 0600) holding `bytes`, whole or not at all and never over
// an existing file; its folder is made (mode 0755) when missing. False with `error`, and `taken`
// set when a file of that name was there first.
bool CreatePrivateFile(const std::string& path, const std::string& bytes, bool& taken, std::string& error);

// Reads the regular file `name` (a path, or a name in the open `folder`; AT_FDCWD for none), at
// most `maxBytes`. False with `error`; `missing` set when nothing is there.
bool ReadRegularFile(int folder, const std::string& name, std::size_t maxBytes, std::string& bytes, bool& missing,
                     std::string& error);

// `count` bytes from the kernel's random source.
bool RandomBytes(std::uint8_t* out, std::size_t count);

}  // namespace vellumar::platform

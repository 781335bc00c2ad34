#include "devices/user/text_files.h"

#include <array>
#include <cstdlib>
#include <fstream>

namespace vellumar {

std::string ReadTextFile(const std::string& path) {
  // Opened for reading and writing like the marker's owner expects; never created here.
  std::fstream file(path, std::ios::in | std::ios::out | std::ios::binary);
  if (!file.is_open()) {
    return {};
  }
  std::string result;
  std::array<char, 128> block{};
  while (true) {
    file.read(block.data(), static_cast<std::streamsize>(block.size()));
    const std::streamsize got = file.gcount();
    result.append(block.data(), static_cast<std::size_t>(got));
    if (file.eof()) {
      break;
    }
    if (file.fail()) {
      throw std::ios_base::failure("read error: " + path);
    }
  }
  return result;
}

void WriteTextFile(const std::string& path, const std::string& text) {
  std::ofstream file(path, std::ios::out | std::ios::trunc | std::ios::binary);
  if (!file.is_open()) {
    return;
  }
  file.write(text.data(), static_cast<std::streamsize>(text.size()));
  file.flush();
  if (!file) {
    throw std::ios_base::failure("write error: " + path);
  }
  file.close();
  if (file.fail()) {
    throw std::ios_base::failure("write error: " + path);
  }
}

std::string LocalAppDataFolder() {
  const char* xdg = std::getenv("XDG_DATA_HOME");
  if (xdg != nullptr && xdg[0] == '/') {
    std::string folder(xdg);
    while (folder.size() > 1 && folder.back() == '/') {
      folder.pop_back();
    }
    return folder;
  }
  const char* home = std::getenv("HOME");
  if (home != nullptr && home[0] == '/') {
    std::string folder(home);
    while (!folder.empty() && folder.back() == '/') {
      folder.pop_back();
    }
    return folder + "/.local/share";
  }
  return {};
}

}  // namespace vellumar

#include "devices/unattended/kernel_options.h"

#include <algorithm>
#include <set>

#include "devices/base/text_format.h"

namespace vellumar {

namespace {

constexpr std::string_view kPrefix = "vellumar.";
constexpr std::size_t kMaxLabelLength = 32;

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

// The kernel's own splitting: blanks end a word unless inside double quotes, which are dropped.
std::vector<std::string> SplitWords(std::string_view line) {
  std::vector<std::string> words;
  std::string word;
  bool quoted = false;
  bool inWord = false;
  for (const char c : line) {
    if (c == '"') {
      quoted = !quoted;
      inWord = true;
    } else if (IsBlank(c) && !quoted) {
      if (inWord) {
        words.push_back(word);
      }
      word.clear();
      inWord = false;
    } else {
      word += c;
      inWord = true;
    }
  }
  if (inWord) {
    words.push_back(word);
  }
  return words;
}

bool IsLabelCharacter(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '.' || c == '_' || c == '-';
}

bool HasControlCharacter(std::string_view text) {
  return std::any_of(text.begin(), text.end(), [](char c) {
    return static_cast<unsigned char>(c) < 0x20 || static_cast<unsigned char>(c) == 0x7f;
  });
}

void ParseSerials(std::string_view value, KernelOptions& options) {
  std::set<std::string> seen;
  std::size_t start = 0;
  while (true) {
    const std::size_t comma = value.find(',', start);
    const std::string serial =
        TrimText(value.substr(start, comma == std::string_view::npos ? std::string_view::npos : comma - start));
    if (serial.empty()) {
      options.Errors.push_back("vellumar.erase= has an empty serial number in its list");
    } else if (HasControlCharacter(serial)) {
      options.Errors.push_back("vellumar.erase= has a serial number with a control character");
    } else if (seen.insert(serial).second) {
      options.Serials.push_back(serial);
    }
    if (comma == std::string_view::npos) {
      return;
    }
    start = comma + 1;
  }
}

}  // namespace

KernelOptions ParseKernelOptions(std::string_view commandLine) {
  KernelOptions options;
  std::set<std::string> given;
  for (const std::string& word : SplitWords(commandLine)) {
    if (word.compare(0, kPrefix.size(), kPrefix) != 0) {
      continue;
    }
    const std::size_t equals = word.find('=');
    const std::string key =
        word.substr(kPrefix.size(), equals == std::string::npos ? std::string::npos : equals - kPrefix.size());
    const std::string value = equals == std::string::npos ? std::string() : word.substr(equals + 1);
    if (key != "erase" && key != "verify" && key != "certificates") {
      options.Errors.push_back("unknown option vellumar." + ReplaceControlCharacters(key) +
                               " (known: vellumar.erase=, vellumar.verify=, vellumar.certificates=)");
      continue;
    }
    // Two values for one option leave the intent in doubt.
    if (!given.insert(key).second) {
      options.Errors.push_back("vellumar." + key + "= is given more than once");
      continue;
    }
    if (key == "erase") {
      options.EraseRequested = true;
      ParseSerials(value, options);
    } else if (key == "verify") {
      const auto method = ParseVerifyMethod(value);
      if (method) {
        options.Verify = *method;
      } else {
        options.Errors.push_back("vellumar.verify= takes none, sample or full");
      }
    } else if (value.empty() || value.size() > kMaxLabelLength ||
               !std::all_of(value.begin(), value.end(), IsLabelCharacter)) {
      options.Errors.push_back("vellumar.certificates= takes a label of letters, digits, '.', '_' and '-'");
    } else {
      options.CertificateLabel = value;
    }
  }
  if (!options.EraseRequested && !given.empty() && options.Errors.empty()) {
    options.Errors.push_back("vellumar.verify= and vellumar.certificates= need vellumar.erase=");
  }
  return options;
}

UnattendedPlan PlanUnattendedErase(const std::vector<std::string>& serials, const std::vector<ListedDrive>& drives) {
  UnattendedPlan plan;
  for (const std::string& serial : serials) {
    const std::string wanted = TrimText(serial);
    std::vector<const ListedDrive*> matches;
    for (const ListedDrive& drive : drives) {
      if (!wanted.empty() && TrimText(drive.Serial) == wanted) {
        matches.push_back(&drive);
      }
    }
    if (matches.empty()) {
      plan.Refused.push_back({wanted, "no drive reports this serial number"});
    } else if (matches.size() > 1) {
      // Nothing tells such drives apart: a wrong one would be erased as often as the right one.
      plan.Refused.push_back({wanted, std::to_string(matches.size()) + " drives report this serial number"});
    } else if (!matches.front()->SystemVolume.empty()) {
      plan.Refused.push_back({wanted, "the boot medium or the running system is on it (" +
                                          ReplaceControlCharacters(matches.front()->SystemVolume) + ")"});
    } else {
      plan.Erase.push_back({wanted, matches.front()->Node});
    }
  }
  return plan;
}

}  // namespace vellumar

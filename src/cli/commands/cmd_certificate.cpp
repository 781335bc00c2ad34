#include <fcntl.h>

#include <optional>
#include <ostream>
#include <string>

#include "cli/cli_commands.h"
#include "cli/command_line.h"
#include "devices/base/units.h"
#include "devices/certificate/certificate_config.h"
#include "ops/linux/certificate_settings.h"
#include "platform/linux/host/own_files.h"
#include "platform/linux/io/unique_fd.h"
#include "report/certificate_check.h"
#include "report/signing.h"

namespace vellumar::cli {

namespace {

constexpr std::size_t kMaxRecordBytes = 256 * static_cast<std::size_t>(vellumar::kMiB);
constexpr std::size_t kMaxKeyBytes = 16UL * 1024UL;

// A record is anybody's file: what it says is shown without the controls that could rewrite
// the auditor's terminal.
std::string Printable(const std::string& text) {
  std::string shown;
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    shown += byte < 0x20 || byte == 0x7F ? '?' : c;
  }
  return shown.empty() ? "(none)" : shown;
}

// The key of this host: its own, or the one the settings file names.
std::optional<vellumar::report::SigningKey> HostKey(const std::string& signingKeyFile, bool create, std::string& path,
                                                    CliEnvironment& env, const char* command) {
  vellumar::CertificateConfig config;
  std::string error;
  std::optional<vellumar::report::SigningKey> key;
  if (vellumar::ops::LoadCertificateConfig(env.ConfigFolder, config, error)) {
    key = vellumar::ops::LoadSigningKey({env.ConfigFolder, signingKeyFile, {}}, config, create, path, error);
  }
  if (!key) {
    env.Err << "vellumar-cli certificate " << command << ": " << error << "\n";
  }
  return key;
}

std::optional<vellumar::report::PublicKey> CheckingKey(const CommandLine& line, std::string& described,
                                                       CliEnvironment& env) {
  if (!line.Values.contains("--key")) {
    std::string path;
    const auto key = HostKey("", false, path, env, "verify");
    if (!key) {
      env.Err << "Name the signer's public key with --key PUBLIC_KEY_FILE.\n";
      return std::nullopt;
    }
    described = "this host's key, " + path;
    return key->Public;
  }
  const std::string path = line.Value("--key");
  std::string text;
  std::string error;
  bool missing = false;
  if (!vellumar::platform::ReadRegularFile(AT_FDCWD, path, kMaxKeyBytes, text, missing, error)) {
    env.Err << "vellumar-cli certificate verify: --key " << error << "\n";
    return std::nullopt;
  }
  const auto key = vellumar::report::ParsePublicKey(text);
  if (!key) {
    env.Err << "vellumar-cli certificate verify: " << path
            << ": not a public key (the base64 line 'certificate key' prints, or PEM)\n";
  }
  described = "the key in " + path;
  return key;
}

std::string VerdictText(vellumar::report::SignatureVerdict verdict, const vellumar::report::CertificateSummary& summary,
                        const std::string& fingerprint, const std::string& sigName) {
  switch (verdict) {
    case vellumar::report::SignatureVerdict::Valid:
      return "valid: this key signed the file, and it is unchanged since";
    case vellumar::report::SignatureVerdict::Missing:
      return "NOT VALID: there is no signature (" + sigName + " is missing)";
    case vellumar::report::SignatureVerdict::Unreadable:
      return "NOT VALID: " + sigName + " holds no Ed25519 signature";
    case vellumar::report::SignatureVerdict::Mismatch:
      break;
  }
  if (!summary.SignedWith.empty() && summary.SignedWith != fingerprint) {
    return "NOT VALID: the record names another signing key than the one it was checked with";
  }
  return "NOT VALID: the file was changed after it was signed, or another key signed it";
}

int VerifyCertificate(const CommandLine& line, CliEnvironment& env) {
  if (line.Operand.empty()) {
    env.Err << "vellumar-cli certificate verify: FILE.json is missing\n";
    return kExitUsage;
  }
  std::string described;
  const std::optional<vellumar::report::PublicKey> key = CheckingKey(line, described, env);
  if (!key) {
    return kExitUsage;
  }
  // The record and its signature come from one folder, held open between the two reads.
  const std::string& path = line.Operand;
  const auto slash = path.find_last_of('/');
  const std::string folder = slash == std::string::npos ? "." : path.substr(0, slash + 1);
  const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  const vellumar::platform::UniqueFd dir(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  std::string json;
  std::string error;
  bool missing = false;
  if (!dir || !vellumar::platform::ReadRegularFile(dir.Get(), name, kMaxRecordBytes, json, missing, error)) {
    env.Err << "vellumar-cli certificate verify: " << (dir ? error : folder + ": cannot be opened") << "\n";
    return kExitUsage;
  }
  std::optional<std::string> signature(std::string{});
  if (!vellumar::platform::ReadRegularFile(dir.Get(), name + ".sig", kMaxKeyBytes, *signature, missing, error)) {
    if (!missing) {
      env.Err << "vellumar-cli certificate verify: " << error << "\n";
    }
    // '!' is no base64: a signature file that cannot be read holds no signature.
    signature = missing ? std::nullopt : std::optional<std::string>("!");
  }
  const vellumar::report::CertificateSummary summary = vellumar::report::SummariseCertificate(json);
  const vellumar::report::SignatureVerdict verdict = vellumar::report::CheckSignature(json, signature, *key);
  const std::string fingerprint = vellumar::report::KeyFingerprint(*key);
  env.Out << "Certificate:  " << path << "\n";
  if (!summary.Id.empty()) {
    env.Out << "Id:           " << Printable(summary.Id) << "\n";
  }
  env.Out << "Drive serial: " << Printable(summary.Serial) << "\n"
          << "Outcome:      " << Printable(summary.Outcome) << "\n"
          << "Signed with:  " << Printable(summary.SignedWith) << " (as the record says)\n"
          << "Checked with: " << fingerprint << " (" << described << ")\n"
          << "Signature:    " << VerdictText(verdict, summary, fingerprint, path + ".sig") << "\n";
  return verdict == vellumar::report::SignatureVerdict::Valid ? kExitOk : kExitVerifyFailed;
}

int PrintKey(const CommandLine& line, CliEnvironment& env) {
  std::string path;
  const auto key = HostKey(line.Value("--signing-key"), true, path, env, "key");
  if (!key) {
    return kExitUsage;
  }
  env.Out << vellumar::report::PublicKeyText(key->Public) << "\n"
          << vellumar::report::KeyFingerprint(key->Public) << "\n";
  return kExitOk;
}

}  // namespace

int RunCertificateCommand(const std::vector<std::string>& args, CliEnvironment& env) {
  const std::string action = args.empty() ? "" : args[0];
  const CommandSpec* spec = FindCommand("certificate " + action);
  if (action == "--help" || action == "-h" || spec == nullptr) {
    const bool help = action == "--help" || action == "-h";
    if (!help) {
      env.Err << "vellumar-cli certificate: "
              << (action.empty() ? "name verify or key" : "unknown command '" + action + "'") << "\n";
    }
    for (const std::string_view both : {"certificate verify", "certificate key"}) {
      (help ? env.Out : env.Err) << "Usage: vellumar-cli " << both << " " << FindCommand(both)->Synopsis << "\n";
    }
    return help ? kExitOk : kExitUsage;
  }
  CommandLine line;
  if (const std::optional<int> status =
          ParseCommandLine(*spec, std::vector<std::string>(args.begin() + 1, args.end()), line, env)) {
    return *status;
  }
  return action == "verify" ? VerifyCertificate(line, env) : PrintKey(line, env);
}

}  // namespace vellumar::cli

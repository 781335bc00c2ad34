#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "cli/cli_commands.h"
#include "devices/certificate/certificate_config.h"
#include "ops/linux/certificate_settings.h"
#include "ops/linux/certificate_writer.h"
#include "platform/linux/host/directory_sink.h"
#include "support/shell.h"
#include "support/temp_folder.h"

namespace vellumar {
namespace {

using ::testing::HasSubstr;
using testing::ReadBytes;
using testing::TempFolder;
using testing::WriteBytes;

struct CommandRun {
  int Status = 0;
  std::string Out;
};

CommandRun Cli(const std::vector<std::string>& args, const std::string& configFolder) {
  std::istringstream in;
  std::ostringstream out;
  std::ostringstream err;
  cli::CliEnvironment env{in, out, err};
  env.ConfigFolder = configFolder;
  const int status = cli::RunCli(args, env);
  return {status, out.str() + err.str()};
}

TEST(CertificateSignature, AFreshCertificateVerifiesAndAnyChangeOrOtherKeyFails) {
  const TempFolder config;
  const TempFolder out;
  std::string error;
  std::optional<ops::CertificateOutput> output = ops::PrepareCertificateOutput(out.Path, {config.Path, "", {}}, error);
  ASSERT_TRUE(output) << error;
  ErasureCertificate c;
  c.Drive.Serial = "WD-1";
  c.Erase = CertificateErase{};
  c.Erase->Outcome = "completed";
  ASSERT_EQ(ops::WriteCertificate(c, *output, "WD-1-T", error), "WD-1-T") << error;
  const std::string json = out.Path + "/WD-1-T.json";

  const CommandRun fresh = Cli({"certificate", "verify", json}, config.Path);
  EXPECT_EQ(fresh.Status, cli::kExitOk) << fresh.Out;
  EXPECT_THAT(fresh.Out, HasSubstr("Drive serial: WD-1\nOutcome:      erase completed\n"));
  // The key the host prints is the one the record names, and it checks the record too.
  const CommandRun key = Cli({"certificate", "key"}, config.Path);
  ASSERT_EQ(key.Status, cli::kExitOk) << key.Out;
  EXPECT_THAT(ReadBytes(json), HasSubstr(key.Out.substr(key.Out.find("SHA256:"), 50)));
  WriteBytes(out.Path + "/host.pub", key.Out);
  EXPECT_EQ(Cli({"certificate", "verify", json, "--key", out.Path + "/host.pub"}, config.Path).Status, cli::kExitOk);

  const std::string record = ReadBytes(json);
  const std::string signature = ReadBytes(json + ".sig");
  const report::SigningKey other = testing::WriteTestKey(out.Path + "/other.key", 9);
  WriteBytes(out.Path + "/other.pub", report::PublicKeyText(other.Public) + "\n");
  std::string changed = record;
  changed[changed.find("WD-1")] = 'M';
  const struct {
    const char* What;
    std::string Record;
    std::string Signature;  // empty: none
    std::vector<std::string> More;
  } cases[] = {
      {"one byte changed", changed, signature, {}},
      {"no signature", record, "", {}},
      {"signed by another key", record, report::Base64(report::Sign(other, record)) + "\n", {}},
      {"--key of another key", record, signature, {"--key", out.Path + "/other.pub"}},
  };
  for (const auto& tampered : cases) {
    WriteBytes(json, tampered.Record);
    std::filesystem::remove(json + ".sig");
    if (!tampered.Signature.empty()) {
      WriteBytes(json + ".sig", tampered.Signature);
    }
    std::vector<std::string> args = {"certificate", "verify", json};
    args.insert(args.end(), tampered.More.begin(), tampered.More.end());
    const CommandRun run = Cli(args, config.Path);
    EXPECT_EQ(run.Status, cli::kExitVerifyFailed) << tampered.What << "\n" << run.Out;
    EXPECT_THAT(run.Out, HasSubstr("Signature:    NOT VALID")) << tampered.What;
  }
}

TEST(CertificateSignature, TheHostKeyIsMadeOnceAndOnlyAPrivateFileOfOurOwnIsUsed) {
  const TempFolder temp;
  const ops::CertificateSettings settings{temp.Path + "/etc", "", {}};
  std::string path;
  std::string error;
  EXPECT_FALSE(ops::LoadSigningKey(settings, {}, false, path, error));
  EXPECT_FALSE(std::filesystem::exists(temp.Path + "/etc/signing.key")) << "made without being asked to";
  const auto made = ops::LoadSigningKey(settings, {}, true, path, error);
  ASSERT_TRUE(made) << error;
  struct stat info {};
  ASSERT_EQ(::stat(path.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 07777, 0600U);
  EXPECT_EQ(info.st_uid, ::geteuid());
  const auto again = ops::LoadSigningKey(settings, {}, true, path, error);
  ASSERT_TRUE(again) << error;
  EXPECT_EQ(again->Public, made->Public);

  // Other tools read the key and check the signature the same way.
  if (testing::Shell("command -v openssl").ExitCode == 0) {
    WriteBytes(temp.Path + "/message", "record");
    WriteBytes(temp.Path + "/message.sig", report::Sign(*made, "record"));
    const testing::ShellResult check =
        testing::Shell("cd " + temp.Path + " && openssl pkey -in etc/signing.key -pubout -out pub.pem && " +
                       "openssl pkeyutl -verify -pubin -inkey pub.pem -rawin -in message -sigfile message.sig");
    EXPECT_EQ(check.ExitCode, 0) << check.Output;
    EXPECT_EQ(report::ParsePublicKey(ReadBytes(temp.Path + "/pub.pem")), made->Public);
  }

  // A key others can read, a link planted in its place, or a key file that is not there.
  ::chmod(path.c_str(), 0640);
  EXPECT_FALSE(ops::LoadSigningKey(settings, {}, true, path, error));
  EXPECT_THAT(error, HasSubstr("mode 0640"));
  ::chmod(path.c_str(), 0600);
  std::filesystem::rename(path, temp.Path + "/real.key");
  std::filesystem::create_symlink(temp.Path + "/real.key", path);
  EXPECT_FALSE(ops::LoadSigningKey(settings, {}, true, path, error));
  EXPECT_THAT(error, HasSubstr("a link"));
  CertificateConfig named;
  named.SigningKey = temp.Path + "/organisation.key";
  EXPECT_FALSE(ops::LoadSigningKey(settings, named, true, path, error));
  EXPECT_FALSE(std::filesystem::exists(named.SigningKey));
  const report::SigningKey organisation = testing::WriteTestKey(named.SigningKey);
  const auto loaded = ops::LoadSigningKey(settings, named, true, path, error);
  ASSERT_TRUE(loaded) << error;
  EXPECT_EQ(loaded->Public, organisation.Public);
}

TEST(CertificateConfig, ReadsEveryKeyAndRefusesWhatWouldGoUnnoticed) {
  CertificateConfig config;
  std::string error;
  ASSERT_TRUE(
      ParseCertificateConfig("# Bench 3\n\norganisation = Acme = Sons\r\n  location=Hall 2 \n"
                             "asset=A-1\ndestination = recycle\nvalidator = Kim\nsigning_key = /k\n",
                             config, error))
      << error;
  EXPECT_EQ(config.Attestation.Organisation, "Acme = Sons");
  EXPECT_EQ(config.Attestation.Location, "Hall 2");
  EXPECT_EQ(config.Attestation.MediaDestination, "recycle");
  EXPECT_EQ(config.SigningKey, "/k");
  const CertificateAttestation given{"", "Hall 9", "", "", ""};
  EXPECT_EQ(Overlay(config.Attestation, given).Location, "Hall 9");
  EXPECT_EQ(Overlay(config.Attestation, given).Organisation, "Acme = Sons");

  for (const auto& [text, says] : std::vector<std::pair<std::string, std::string>>{
           {"asset=1\norganization = Acme\n", "line 2: unknown key 'organization'"},
           {"asset\n", "line 1: not a key = value line"},
           {"destination = shred\n", "destination takes reuse, recycle or destroy"},
           {"signing_key = org.key\n", "signing_key needs an absolute path"}}) {
    CertificateConfig bad;
    EXPECT_FALSE(ParseCertificateConfig(text, bad, error)) << text;
    EXPECT_THAT(error, HasSubstr(says));
  }
  // A settings file others may write could name their own key.
  const TempFolder folder;
  WriteBytes(folder.Path + "/certificate.conf", "asset = A-1\n", 0666);
  EXPECT_FALSE(ops::LoadCertificateConfig(folder.Path, config, error));
  EXPECT_THAT(error, HasSubstr("others could change it"));
}

TEST(CertificateFolder, RefusedWhenOthersCouldReplaceTheFilesOrItIsALink) {
  const TempFolder temp;
  std::string error;
  ::chmod(temp.Path.c_str(), 0777);
  EXPECT_EQ(platform::DirectorySink::Open(temp.Path, error), nullptr);
  EXPECT_THAT(error, HasSubstr("sticky bit"));
  ::chmod(temp.Path.c_str(), 01777);
  EXPECT_NE(platform::DirectorySink::Open(temp.Path, error), nullptr) << error;
  std::filesystem::create_symlink(temp.Path, temp.Path + "/link");
  EXPECT_EQ(platform::DirectorySink::Open(temp.Path + "/link", error), nullptr);
  // Trying the folder leaves nothing behind.
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(temp.Path), {}), 1);
}

}  // namespace
}  // namespace vellumar

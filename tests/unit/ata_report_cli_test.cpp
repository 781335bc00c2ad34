#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "ata_test_support.h"
#include "cli/cli_commands.h"
#include "cli/commands/ata_report_command.h"
#include "devices/base/json_writer.h"

namespace vellumar::cli {
namespace {

struct CliRun {
  int Status = 0;
  std::vector<std::string> Lines;
  std::string Err;
};

CliRun RunCommand(const std::vector<std::string>& args) {
  std::istringstream in;
  std::ostringstream out;
  std::ostringstream err;
  CliEnvironment env{in, out, err};
  CliRun run;
  run.Status = RunCli(args, env);
  std::istringstream printed(out.str());
  for (std::string line; std::getline(printed, line);) {
    run.Lines.push_back(line);
  }
  run.Err = err.str();
  return run;
}

// The report without its date line, which comes from the real clock here.
std::vector<std::string> WithoutDate(std::vector<std::string> lines) {
  if (lines.size() > 1) {
    lines.erase(lines.begin() + 1);
  }
  return lines;
}

class TempFile {
 public:
  explicit TempFile(std::size_t bytes) {
    char name[] = "/tmp/vellumar-ata-cli-XXXXXX";
    const int fd = ::mkstemp(name);
    path_ = name;
    ::close(fd);
    std::ofstream(path_, std::ios::binary) << std::string(bytes, '\0');
  }
  ~TempFile() { std::remove(path_.c_str()); }
  TempFile(const TempFile&) = delete;
  TempFile& operator=(const TempFile&) = delete;
  const std::string& Path() const { return path_; }

 private:
  std::string path_;
};

TEST(AtaReportCli, FromFilePrintsTheReportsNamingTheFile) {
  const std::string identify = vellumar::atatest::AtaDataPath("qemu-pata-master-identify.bin");
  CliRun run = RunCommand({"details", "--from-file", identify});
  EXPECT_EQ(run.Status, kExitOk);
  std::vector<std::string> expected = vellumar::atatest::LoadLines("qemu-pata-master-identify.details.txt");
  expected[3] = "Device details for " + identify;
  EXPECT_EQ(WithoutDate(run.Lines), WithoutDate(expected));

  const std::string smart = vellumar::atatest::AtaDataPath("qemu-pata-master-smart-data.bin");
  run = RunCommand({"smart", "--from-file", smart});
  EXPECT_EQ(run.Status, kExitOk);
  expected = vellumar::atatest::LoadLines("qemu-pata-master-smart-data.smart.txt");
  expected[3] = "SMART data for " + smart;
  EXPECT_EQ(WithoutDate(run.Lines), WithoutDate(expected));
}

TEST(AtaReportCli, UsageErrors) {
  const TempFile shortFile(511);
  for (const std::vector<std::string>& args :
       std::vector<std::vector<std::string>>{{"details"},
                                             {"smart", "--from-file"},
                                             {"details", "--bogus"},
                                             {"smart", "--from-file", shortFile.Path()},
                                             {"details", "/dev/null", "--from-file", shortFile.Path()},
                                             {"details", "/nonexistent/drive"}}) {
    const CliRun run = RunCommand(args);
    EXPECT_EQ(run.Status, kExitUsage) << args.back();
    EXPECT_TRUE(run.Lines.empty()) << args.back();
    EXPECT_FALSE(run.Err.empty()) << args.back();
  }
}

TEST(DriveNaming, RowNumbersWithYesAndAnotherSerialAreRefused) {
  const TempFile image(1 << 20);
  struct Case {
    std::vector<std::string> Args;
    int Status;
    const char* Says;
  };
  for (const Case& c : {Case{{"format", "3", "--yes"}, kExitRefused, "not accepted with --yes"},
                        Case{{"format", "0003", "--yes"}, kExitRefused, "not accepted with --yes"},
                        Case{{"format", image.Path(), "--yes", "--serial", "S1"}, kExitRefused, "not 'S1'"},
                        Case{{"details", image.Path(), "--serial", "S1"}, kExitRefused, "not 'S1'"},
                        Case{{"smart", image.Path(), "--serial"}, kExitUsage, "--serial needs"},
                        Case{{"details", "--from-file", "/dev/zero"}, kExitUsage, "(longer)"}}) {
    const CliRun run = RunCommand(c.Args);
    EXPECT_EQ(run.Status, c.Status) << c.Args[1];
    EXPECT_NE(run.Err.find(c.Says), std::string::npos) << run.Err;
    EXPECT_TRUE(run.Lines.empty()) << c.Args[1];
  }
}

TEST(AtaReportCli, ImageFileCannotTakeAtaCommands) {
  const TempFile image(1 << 20);
  CliRun run = RunCommand({"details", image.Path()});
  EXPECT_EQ(run.Status, kExitCompletedWithErrors);
  ASSERT_FALSE(run.Lines.empty());
  EXPECT_EQ(run.Lines.back(), "Details are unavailable for this device.");
  run = RunCommand({"smart", image.Path()});
  EXPECT_EQ(run.Status, kExitCompletedWithErrors);
  ASSERT_FALSE(run.Lines.empty());
  EXPECT_EQ(run.Lines.back(), "SMART is not supported by this device.");
}

// --json: one document on standard output and nothing else, the same exit statuses.
TEST(AtaReportCli, JsonDocumentsAloneOnStandardOutput) {
  const TempFile image(1 << 20);
  struct Case {
    std::vector<std::string> Args;
    int Status;
    bool Available;
  };
  const std::vector<Case> cases = {
      {{"details", "--json", "--from-file", vellumar::atatest::AtaDataPath("qemu-ahci-sata-identify.bin")},
       kExitOk,
       true},
      {{"smart", "--from-file", vellumar::atatest::AtaDataPath("qemu-ahci-sata-smart-data.bin"), "--json"},
       kExitOk,
       true},
      {{"details", image.Path(), "--json"}, kExitCompletedWithErrors, false},
      {{"smart", "--json", image.Path()}, kExitCompletedWithErrors, false},
  };
  for (const Case& c : cases) {
    const CliRun run = RunCommand(c.Args);
    EXPECT_EQ(run.Status, c.Status) << c.Args[0];
    EXPECT_TRUE(run.Err.empty()) << run.Err;
    std::string text;
    for (const std::string& line : run.Lines) {
      text += line + "\n";
    }
    const nlohmann::json doc = nlohmann::json::parse(text, nullptr, false);
    ASSERT_TRUE(doc.is_object()) << text;
    EXPECT_EQ(doc["report"], c.Args[0]);
    EXPECT_EQ(doc["available"], c.Available);
    EXPECT_EQ(doc.contains("reason"), !c.Available);
  }
}

}  // namespace
}  // namespace vellumar::cli

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "ata_test_support.h"
#include "cli/cli_commands.h"
#include "cli/command_table.h"

namespace vellumar::cli {
namespace {

struct CommandRun {
  int Status = 0;
  std::string Out;
  std::string Err;
};

CommandRun Invoke(const std::vector<std::string>& args) {
  std::istringstream in;
  std::ostringstream out;
  std::ostringstream err;
  CliEnvironment env{in, out, err};
  CommandRun run;
  run.Status = RunCli(args, env);
  run.Out = out.str();
  run.Err = err.str();
  return run;
}

std::string ReadSource(const std::string& relative) {
  std::ifstream file(std::string(VELLUMAR_SOURCE_DIR) + "/" + relative);
  EXPECT_TRUE(file) << relative;
  return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

bool Names(const std::string& text, std::string_view word) { return text.find(word) != std::string::npos; }

// The help of each command, its manual page and the completion all come from or are held to the
// parser's table, so an option added to one cannot be missing from another.
TEST(CommandLine, HelpManualPageAndCompletionNameEveryOptionOfTheTable) {
  const std::string manual = ReadSource("dist/man/vellumar-cli.1.scd");
  const std::string completion = ReadSource("dist/bash-completion/vellumar-cli");
  const std::string usage = Invoke({"--help"}).Out;
  for (const CommandSpec& command : Commands()) {
    const std::string name(command.Name);
    // "certificate verify" is two words on the command line.
    std::vector<std::string> words;
    for (std::istringstream split(name); split >> words.emplace_back();) {
    }
    words.pop_back();
    std::vector<std::string> asked = words;
    asked.emplace_back("--help");
    words.insert(words.begin(), "help");
    const CommandRun help = Invoke(asked);
    EXPECT_EQ(help.Status, kExitOk) << name;
    EXPECT_EQ(help.Out, Invoke(words).Out) << name;
    EXPECT_TRUE(Names(help.Out, "Usage: vellumar-cli " + name)) << help.Out;
    EXPECT_TRUE(Names(help.Out, command.Operand)) << help.Out;
    EXPECT_TRUE(Names(help.Out, "Exit status:\n  0  ")) << help.Out;
    EXPECT_TRUE(Names(usage, "  " + name + " ")) << name;
    EXPECT_TRUE(Names(manual, "*" + name + "*")) << name;
    for (std::size_t word = 1; word < words.size(); ++word) {
      EXPECT_TRUE(Names(completion, words[word])) << name;
    }
    for (const OptionSpec& option : command.Options) {
      EXPECT_TRUE(Names(help.Out, option.Name)) << name << " --help lacks " << option.Name;
      EXPECT_TRUE(Names(help.Out, option.ValueName)) << name << " --help lacks " << option.ValueName;
      EXPECT_TRUE(Names(manual, "*" + std::string(option.Name) + "*")) << "manual page lacks " << option.Name;
      EXPECT_TRUE(Names(completion, option.Name)) << "completion lacks " << option.Name;
    }
  }
}

TEST(CommandLine, UnknownOptionsAndStrayArgumentsAreUsageErrorsWithAHint) {
  const struct {
    std::vector<std::string> Args;
    const char* Says;
    const char* Hint;
  } cases[] = {
      {{"list", "--bogus"}, "vellumar-cli list: unknown option '--bogus'", "Run 'vellumar-cli list --help'"},
      {{"list", "3"}, "vellumar-cli list: unknown argument '3'", "Run 'vellumar-cli list --help'"},
      {{"format", "/dev/null", "-y"}, "unknown option '-y'", "Run 'vellumar-cli format --help'"},
      {{"format", "--quik", "/dev/null"}, "unknown option '--quik'", "Did you mean '--quick'?"},
      {{"format", "a.img", "b.img"}, "only one DEVICE may be given", "format --help"},
      {{"format", "--yes"}, "DEVICE is missing", ""},
      {{"details", "--serial-number=X", "/dev/null"}, "unknown option", "Did you mean '--serial'?"},
      {{"smart", "--from-file"}, "--from-file needs a file name", "smart --help"},
      {{"frobnicate"}, "unknown command 'frobnicate'", "Usage: vellumar-cli COMMAND"},
  };
  for (const auto& c : cases) {
    const CommandRun run = Invoke(c.Args);
    EXPECT_EQ(run.Status, kExitUsage) << run.Err;
    EXPECT_TRUE(Names(run.Err, c.Says)) << run.Err;
    EXPECT_TRUE(Names(run.Err, c.Hint)) << run.Err;
    EXPECT_TRUE(run.Out.empty()) << run.Out;
  }
}

TEST(CommandLine, OptionsComeBeforeOrAfterTheDrive) {
  char name[] = "/tmp/vellumar-command-line-XXXXXX";
  const int fd = ::mkstemp(name);
  ASSERT_GE(fd, 0);
  ::close(fd);
  const std::string image = name;
  std::ofstream(image, std::ios::binary) << std::string(1 << 20, '\0');
  const std::string sector = vellumar::atatest::AtaDataPath("qemu-pata-master-identify.bin");
  for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
           {"details", "--serial", "S1", image},
           {"details", image, "--serial", "S1"},
           {"smart", "--serial=S1", image},
           {"format", "--yes", "--serial", "S1", image},
           {"format", image, "--serial", "S1", "--yes"},
       }) {
    const CommandRun run = Invoke(args);
    EXPECT_EQ(run.Status, kExitRefused) << run.Err;
    EXPECT_TRUE(Names(run.Err, "not 'S1'")) << run.Err;
  }
  // "--" ends the options; the JSON form is the same wherever --json stands.
  const CommandRun before = Invoke({"details", "--json", "--from-file", sector});
  EXPECT_EQ(before.Status, kExitOk) << before.Err;
  EXPECT_EQ(before.Out, Invoke({"details", "--from-file", sector, "--json"}).Out);
  EXPECT_EQ(Invoke({"details", "--from-file", sector, "--", "--json"}).Status, kExitUsage);
  std::remove(image.c_str());
}

}  // namespace
}  // namespace vellumar::cli

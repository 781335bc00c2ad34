#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <thread>
#include <vector>

#include "devices/base/log_sinks.h"
#include "devices/user/text_files.h"
#include "support/fake_clock.h"
#include "support/log_capture.h"

namespace vellumar {
namespace {

TEST(LogSinks, FormatLogIsTimestampedAndKeepsTrailingSpaces) {
  testing::FakeClock clock;
  LogSinks logs(clock, LocaleSettings{});
  testing::LogCapture bench(logs.BenchMark);
  testing::LogCapture details(logs.Details);
  logs.BenchMarkLog("Formatting... ");
  logs.BenchMarkPlain("Invalid handle");
  logs.DetailsLog("plain line");
  EXPECT_EQ(bench.Entries(), (std::vector<std::string>{"2024-05-01 13:45:07   Formatting... ", "Invalid handle"}));
  EXPECT_EQ(details.Entries(), std::vector<std::string>{"plain line"});

  testing::LogCapture debug(logs.Debug);
  logs.DebugLog("hidden");
  logs.DebugMode = true;
  logs.DebugLog("shown");
  EXPECT_EQ(debug.Texts(), std::vector<std::string>{"shown"});
}

TEST(LogSinks, EntriesFromManyThreadsArriveWhole) {
  testing::FakeClock clock;
  LogSinks logs(clock, LocaleSettings{});
  std::vector<std::string> seen;
  logs.Smart.SetWriter([&](const std::string& entry) { seen.push_back(entry); });  // not thread-safe itself
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&logs] {
      for (int i = 0; i < 500; ++i) {
        logs.SmartLog(std::string(40, 'x'));
      }
    });
  }
  for (auto& thread : threads) {
    thread.join();
  }
  ASSERT_EQ(seen.size(), 2000U);
  for (const auto& entry : seen) {
    EXPECT_EQ(entry, std::string(40, 'x'));
  }
}

class TextFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = std::filesystem::temp_directory_path() /
           ("vellumar-files-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "-" +
            std::to_string(reinterpret_cast<std::uintptr_t>(this)));
    std::filesystem::create_directories(dir_);
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }
  std::string Path(const char* name) const { return (dir_ / name).string(); }
  std::filesystem::path dir_;
};

TEST_F(TextFiles, ExactBytesTruncationAndQuietFailures) {
  EXPECT_EQ(ReadTextFile(Path("none")), "");
  EXPECT_FALSE(std::filesystem::exists(Path("none")));
  const std::string bytes("1\0\xff\n", 4);
  WriteTextFile(Path("one"), bytes);
  EXPECT_EQ(ReadTextFile(Path("one")), bytes);
  WriteTextFile(Path("one"), "x");  // truncates
  EXPECT_EQ(ReadTextFile(Path("one")), "x");
  EXPECT_NO_THROW(WriteTextFile(Path("no/such/dir/file"), "1"));
}

TEST(LocalAppDataFolder, PrefersXdgDataHomeThenHome) {
  const char* savedXdg = std::getenv("XDG_DATA_HOME");
  const char* savedHome = std::getenv("HOME");
  const std::string xdg = savedXdg != nullptr ? savedXdg : "";
  const std::string home = savedHome != nullptr ? savedHome : "";

  ::setenv("XDG_DATA_HOME", "/tmp/xdg/", 1);
  EXPECT_EQ(LocalAppDataFolder(), "/tmp/xdg");
  ::setenv("XDG_DATA_HOME", "relative", 1);  // not absolute: ignored
  ::setenv("HOME", "/home/user", 1);
  EXPECT_EQ(LocalAppDataFolder(), "/home/user/.local/share");

  savedXdg != nullptr ? ::setenv("XDG_DATA_HOME", xdg.c_str(), 1) : ::unsetenv("XDG_DATA_HOME");
  savedHome != nullptr ? ::setenv("HOME", home.c_str(), 1) : ::unsetenv("HOME");
}

}  // namespace
}  // namespace vellumar

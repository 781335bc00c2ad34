#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <thread>
#include <vector>

#include "devices/log_sinks.h"
#include "devices/text_files.h"
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
}

TEST(LogSinks, DebugLogWritesOnlyInDebugMode) {
  testing::FakeClock clock;
  LogSinks logs(clock, LocaleSettings{});
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

TEST_F(TextFiles, MissingFileReadsEmptyAndIsNotCreated) {
  EXPECT_EQ(ReadTextFile(Path("none")), "");
  EXPECT_FALSE(std::filesystem::exists(Path("none")));
}

TEST_F(TextFiles, WriteThenReadRoundTripsExactBytes) {
  WriteTextFile(Path("one"), "1");
  EXPECT_EQ(std::filesystem::file_size(Path("one")), 1U);
  EXPECT_EQ(ReadTextFile(Path("one")), "1");

  std::string big;
  for (int i = 0; i < 300; ++i) {
    big.push_back(static_cast<char>(i % 251));
  }
  WriteTextFile(Path("big"), big);
  EXPECT_EQ(ReadTextFile(Path("big")), big);
  WriteTextFile(Path("big"), "x");  // truncates
  EXPECT_EQ(ReadTextFile(Path("big")), "x");
}

TEST_F(TextFiles, UnwritableTargetIsPassedOverSilently) {
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

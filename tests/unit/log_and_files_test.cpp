#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "devices/base/log_sinks.h"
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
  threads.reserve(4);
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

}  // namespace
}  // namespace vellumar

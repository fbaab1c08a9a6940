#include <gtest/gtest.h>

#include <cstdio>
#include <set>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "src/log/log_file.h"
#include "tests/support/temp_dir.h"
#include "tests/support/trace_compare.h"

namespace tevra::log {
namespace {

constexpr int kThreads = 8;
constexpr int kEntries = 300;
// Every 50th entry is longer than the line buffer, so that threads also meet while it grows.
constexpr int kLongEvery = 50;

std::string payload(int thread, int entry) {
  const size_t length = entry % kLongEvery == 0 ? 6000 : 120;
  return std::string(length, static_cast<char>('a' + thread));
}

void writeEntries(LogFile& log, int thread) {
  for (int entry = 0; entry < kEntries; ++entry) {
    if (entry % 2 == 0) {
      log.LogIt("thread %d entry %d %s", thread, entry, payload(thread, entry).c_str());
    } else {
      const std::string text = "thread " + std::to_string(thread) + " entry " + std::to_string(entry) + " " +
                               payload(thread, entry);
      log.LogText(-1, text.c_str());
    }
  }
}

TEST(LogConcurrencyTest, EntriesFromManyThreadsStayWholeLines) {
  test::TempDir dir;
  const std::string name = dir.file("trace.txt");
  {
    LogFile log(name.c_str(), kNameAppend, true);
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) threads.emplace_back(writeEntries, std::ref(log), t);
    for (auto& thread : threads) thread.join();
  }
  const std::vector<std::string> lines = test::readTraceLines(name);
  ASSERT_EQ(lines.size(), static_cast<size_t>(kThreads * kEntries + 2));
  EXPECT_EQ(lines.front(), "*** Start of Log ***");
  EXPECT_EQ(lines.back(), "*** End of Log ***");
  std::set<std::pair<int, int>> seen;
  for (size_t i = 1; i + 1 < lines.size(); ++i) {
    int thread = -1;
    int entry = -1;
    int consumed = 0;
    ASSERT_EQ(std::sscanf(lines[i].c_str(), "thread %d entry %d %n", &thread, &entry, &consumed), 2)
        << lines[i];
    ASSERT_EQ(lines[i].substr(static_cast<size_t>(consumed)), payload(thread, entry)) << "line " << i + 1;
    seen.emplace(thread, entry);
  }
  EXPECT_EQ(seen.size(), static_cast<size_t>(kThreads * kEntries));
}

TEST(LogConcurrencyTest, RawWritesOnTwoLogsCountTheirOwnBytes) {
  test::TempDir dir;
  LogFile first(dir.file("a.csv").c_str(), kNameAppend, false);
  LogFile second(dir.file("b.csv").c_str(), kNameAppend, false);
  auto writeRaw = [](LogFile& log, int thread) {
    for (int i = 0; i < kEntries; ++i) {
      const std::string line = std::string(static_cast<size_t>(1 + (i + thread) % 40), 'r') + "\r\n";
      EXPECT_EQ(log.WriteRaw(static_cast<int32_t>(line.size()), line.data(), 0),
                static_cast<int32_t>(line.size()));
      EXPECT_EQ(log.PrintfRaw("%d,%s\r\n", thread, "p"), 5);
    }
  };
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) threads.emplace_back(writeRaw, std::ref(t % 2 == 0 ? first : second), t);
  for (auto& thread : threads) thread.join();
  first.Close();
  second.Close();
  for (const auto& file : {dir.file("a.csv"), dir.file("b.csv")}) {
    for (const auto& line : test::readTraceLines(file)) {
      EXPECT_TRUE(line.find_first_not_of('r') == std::string::npos ||
                  (line.size() == 3 && line.substr(1) == ",p"))
          << line;
    }
    EXPECT_EQ(test::readTraceLines(file).size(), static_cast<size_t>(2 * 2 * kEntries));
  }
}

}  // namespace
}  // namespace tevra::log

#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <set>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "src/log/driver_logs.h"
#include "tests/support/driver_test.h"
#include "tests/support/trace_compare.h"
#include "tevra.h"

namespace tevra::log {
namespace {

constexpr int kThreads = 6;
constexpr int kEntries = 300;
// Every 50th entry is longer than the line buffer, so that threads also meet while it grows.
constexpr int kLongEvery = 50;

std::string payload(int thread, int entry) {
  const size_t length = entry % kLongEvery == 0 ? 6000 : 120;
  return std::string(length, static_cast<char>('a' + thread));
}

// Entries through the export and through the driver's own LogText; returns how many reached a file.
int writeEntries(int thread) {
  int written = 0;
  for (int entry = 0; entry < kEntries; ++entry) {
    const std::string text = payload(thread, entry);
    if (entry % 2 == 0 && text.size() < TEVRA_LOGIT_TEXT_MAX) {
      written += Tevra_Log_LogIt("thread %d entry %d %s", thread, entry, text.c_str()) == 1 ? 1 : 0;
    } else {
      const std::string line =
          "thread " + std::to_string(thread) + " entry " + std::to_string(entry) + " " + text;
      written += traceLog().LogText(-1, line.c_str()) == Entry::kWritten ? 1 : 0;
    }
  }
  return written;
}

using LogConcurrencyTest = test::DriverTest;

TEST_F(LogConcurrencyTest, EntriesFromManyThreadsStayWholeWhileAnotherThreadMovesTheLog) {
  const std::vector<std::string> files = {trace_, dir_.file("a.txt"), dir_.file("b.txt")};
  std::atomic<bool> writing{true};
  std::thread mover([&] {
    for (int round = 0; writing.load(); ++round) {
      Tevra_Log_Open(files[static_cast<size_t>(round % 3)].c_str());
      if (round % 4 == 3) Tevra_Log_Close();
      std::this_thread::yield();
    }
  });
  std::vector<std::thread> threads;
  std::vector<int> written(kThreads, 0);
  for (int t = 0; t < kThreads; ++t) threads.emplace_back([&written, t] { written[t] = writeEntries(t); });
  for (auto& thread : threads) thread.join();
  writing = false;
  mover.join();
  Tevra_Log_Close();

  std::set<std::pair<int, int>> seen;
  for (const auto& file : files) {
    for (const auto& line : test::readTraceLines(file)) {
      if (line == "*** Start of Log ***" || line == "*** End of Log ***") continue;
      int thread = -1;
      int entry = -1;
      int consumed = 0;
      ASSERT_EQ(std::sscanf(line.c_str(), "thread %d entry %d %n", &thread, &entry, &consumed), 2) << line;
      ASSERT_EQ(line.substr(static_cast<size_t>(consumed)), payload(thread, entry)) << file;
      EXPECT_TRUE(seen.emplace(thread, entry).second) << "written twice: " << line;
    }
  }
  int total = 0;
  for (const int count : written) total += count;
  EXPECT_EQ(seen.size(), static_cast<size_t>(total));
}

TEST_F(LogConcurrencyTest, RawWritesOnTwoLogsCountTheirOwnBytes) {
  LogFile first(dir_.file("a.csv").c_str(), kNameAppend, false);
  LogFile second(dir_.file("b.csv").c_str(), kNameAppend, false);
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
  for (const auto& file : {dir_.file("a.csv"), dir_.file("b.csv")}) {
    const auto lines = test::readTraceLines(file);
    for (const auto& line : lines) {
      EXPECT_TRUE(line.find_first_not_of('r') == std::string::npos || line.substr(1) == ",p") << line;
    }
    EXPECT_EQ(lines.size(), static_cast<size_t>(2 * 2 * kEntries));
  }
}

}  // namespace
}  // namespace tevra::log

#include "src/log/log_file.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/support/fake_kernel.h"
#include "tests/support/temp_dir.h"
#include "tests/support/trace_compare.h"

namespace tevra::log {
namespace {

using platform::SystemTime;
using test::localTime;

constexpr char kStart[] = "*** Start of Log ***";
constexpr char kEnd[] = "*** End of Log ***";
// The prefix at the fake kernel's start time and thread.
constexpr char kPrefix[] = "04/17 09:30:05.123 [ABCD] ";

class LogFileTest : public ::testing::Test {
 protected:
  test::FakeKernel kernel_;
  test::TempDir dir_;
};

TEST_F(LogFileTest, NamingModesChooseTheFileFromTheOpeningTime) {
  const SystemTime thursday = localTime(2008, 4, 17);
  struct Case {
    int32_t mode;
    const char* name;
    SystemTime when;
    const char* opened;
  } cases[] = {
      {0, "Velkorin.log.txt", thursday, "Velkorin.log.txt"},
      {3, "Velkorin.log.txt", thursday, "Velkorin.log.080417.txt"},
      {4, "Velkorin.log.txt", thursday, "Velkorin.log.08W16.txt"},
      {4, "Velkorin.log.txt", localTime(2008, 1, 1), "Velkorin.log.08W01.txt"},
      {5, "Velkorin.log.txt", thursday, "Velkorin.log.08W16-0413.txt"},
      {5, "Velkorin.log.txt", localTime(2008, 4, 19, 23, 59, 59), "Velkorin.log.08W16-0413.txt"},
      {5, "Velkorin.log.txt", localTime(2008, 4, 20, 0, 0, 0), "Velkorin.log.08W17-0420.txt"},
      {5, "Velkorin.log.txt", localTime(2008, 4, 1), "Velkorin.log.08W14-0330.txt"},
      {5, "Velkorin.log.txt", localTime(2008, 1, 1), "Velkorin.log.07W53-1230.txt"},
      {6, "Velkorin.log.txt", thursday, "Velkorin.log.08M04.txt"},
      {6, "trace", thursday, "trace.08M04"},
      {6, "logs.d/trace", thursday, "logs.d/trace.08M04"},
      {6, "a.b\\trace", thursday, "a.b\\trace.08M04"},
      {6, "a.b:trace", thursday, "a.b:trace.08M04"},
      {7, "Velkorin.log.txt", thursday, "Velkorin.log.080417-093005.txt"},
  };
  std::filesystem::create_directory(dir_.file("logs.d"));
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << "mode " << c.mode << " " << c.name << " -> " << c.opened);
    kernel_.setTime(c.when);
    LogFile log;
    log.Open(dir_.file(c.name).c_str(), c.mode, true);
    EXPECT_TRUE(log.isOpen());
    EXPECT_EQ(log.fileName(), dir_.file(c.opened));
    EXPECT_TRUE(std::filesystem::exists(dir_.file(c.opened)));
  }
}

TEST_F(LogFileTest, TruncateAppendAndRenameTreatAnExistingFileAsTheModeSays) {
  const std::string name = dir_.file("trace.txt");
  const std::string renamed = name + ".0417-093005";
  struct Case {
    int32_t mode;
    bool renamedNameTaken;
    std::vector<std::string> lines;
    const char* renamedContent;  // null: no renamed file expected
  } cases[] = {
      {0, false, {kStart, "entry", kEnd}, nullptr},
      {1, false, {"old", kStart, "entry", kEnd}, nullptr},
      {2, false, {kStart, "entry", kEnd}, "old\r\n"},
      {2, true, {"old", kStart, "entry", kEnd}, "taken"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << "mode " << c.mode
                                    << (c.renamedNameTaken ? ", renamed name taken" : ""));
    std::filesystem::remove(renamed);
    test::writeFile(name, "old\r\n");
    if (c.renamedNameTaken) test::writeFile(renamed, "taken");
    {
      LogFile log(name.c_str(), c.mode, true);
      log.LogIt("entry");
    }
    test::expectTraceLines(name, c.lines);
    EXPECT_EQ(std::filesystem::exists(renamed), c.renamedContent != nullptr);
    if (c.renamedContent != nullptr) {
      EXPECT_EQ(test::readFile(renamed), c.renamedContent);
    }
  }
}

TEST_F(LogFileTest, EntriesArePrefixedWithDateTimeAndThreadAndEndInCrLf) {
  const std::string name = dir_.file("trace.txt");
  LogFile log(name.c_str(), kNameAppend, true);
  log.LogIt("value %d of %s", 42, "x");
  log.LogText(3, "abcdef");
  log.LogText(-1, "measured");
  log.LogText(5, nullptr);
  log.LogIt(nullptr);
  kernel_.setThreadId(0x1F);
  log.LogText(-1, "short id");
  kernel_.setThreadId(0x12345);
  kernel_.setTime(localTime(2008, 12, 31, 23, 59, 58, 7));
  log.LogText(-1, "long id");
  log.Close();
  const std::string expected =
      std::string(kPrefix) + kStart + "\r\n" + kPrefix + "value 42 of x\r\n" + kPrefix + "abc\r\n" + kPrefix +
      "measured\r\n" + kPrefix + "\r\n" + "04/17 09:30:05.123 [001F] short id\r\n" +
      "12/31 23:59:58.007 [12345] long id\r\n" + "12/31 23:59:58.007 [12345] " + kEnd + "\r\n";
  EXPECT_EQ(test::readFile(name), expected);
  EXPECT_TRUE(log.fileName().empty());

  const std::string report = dir_.file("report.csv");
  log.Open(report.c_str(), kNameAppend, false);
  log.LogText(-1, "a");
  log.LogIt("%c", 'b');
  log.Close();
  EXPECT_EQ(test::readFile(report), "12/31 23:59:58.007 [12345] a12/31 23:59:58.007 [12345] b")
      << "without line mode: no line ends and no markers";
}

TEST_F(LogFileTest, LongEntriesGrowTheBufferOrAreCutWhenGrowthIsOff) {
  struct Case {
    bool viaLogIt;
    bool mayGrow;
    size_t textLength;
    size_t writtenLength;
    int32_t capacity;
  } cases[] = {
      {false, true, 5000, 5000, 5056},  // 26 + 5000 + 32 = 5058, rounded down to 5056
      {false, true, 4069, 4069, 4096},  // 26 + 4069 = 4095 still fits with its terminator
      {false, true, 4070, 4070, 4128},  // one more byte grows the buffer
      {true, true, 4069, 4069, 4096},   //
      {true, true, 100000, 100000, 100032}, {false, false, 5000, 4069, 4096},
      {true, false, 100000, 4069, 4096},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << (c.viaLogIt ? "LogIt " : "LogText ") << c.textLength
                                    << (c.mayGrow ? "" : " without growth"));
    const std::string name = dir_.file("long.txt");
    std::filesystem::remove(name);
    const std::string text(c.textLength, 'x');
    {
      LogFile log(name.c_str(), kNameAppend, true);
      log.setBufferMayGrow(c.mayGrow);
      if (c.viaLogIt) {
        log.LogIt("%s", text.c_str());
      } else {
        log.LogText(static_cast<int32_t>(text.size()), text.c_str());
      }
      EXPECT_EQ(log.capacity(), c.capacity);
      log.LogText(-1, "after");
    }
    test::expectTraceLines(name, {kStart, text.substr(0, c.writtenLength), "after", kEnd});
  }
}

TEST_F(LogFileTest, RawWritesReportTheirCountsAndRefuseAClosedLog) {
  LogFile log;
  EXPECT_EQ(log.WriteRaw(2, "ok", 0), LogFile::kRawNotOpen);
  EXPECT_EQ(log.PrintfRaw("%d", 1), LogFile::kRawNotOpen);

  const std::string name = dir_.file("raw.txt");
  log.Open(name.c_str(), kNameAppend, false);
  const std::string longest(LogFile::kRawBufferSize - 1, 'y');
  struct Case {
    int32_t result;
    int32_t expected;
  } cases[] = {
      {log.WriteRaw(5, "hello", 0), 5},
      {log.WriteRaw(2, "ok", LogFile::kRawPrefix | LogFile::kRawAppendCrLf), 2},
      {log.WriteRaw(1, "z", LogFile::kRawAppendCrLf), 1},
      {log.WriteRaw(0, nullptr, 0), 0},
      {log.WriteRaw(-1, "x", 0), LogFile::kRawShortWrite},
      {log.WriteRaw(3, nullptr, 0), LogFile::kRawShortWrite},
      {log.PrintfRaw("%d,%s\r\n", 7, "item"), 8},
      {log.PrintfRaw("%s", longest.c_str()), static_cast<int32_t>(longest.size())},
      {log.PrintfRaw("%s!", longest.c_str()), LogFile::kRawShortWrite},
      {log.PrintfRaw(nullptr), LogFile::kRawShortWrite},
  };
  for (size_t i = 0; i < std::size(cases); ++i) {
    EXPECT_EQ(cases[i].result, cases[i].expected) << "write " << i;
  }
  EXPECT_EQ(lastWriteByteCount(), longest.size());
  log.Close();
  EXPECT_EQ(test::readFile(name), "hello" + std::string(kPrefix) + "ok\r\nz\r\n7,item\r\n" + longest);
}

TEST_F(LogFileTest, AnOpenThatFailsKeepsTheOpenFileAndAnUnusableNameOrModeClosesIt) {
  const std::string name = dir_.file("first.txt");
  const std::string longName = dir_.file(std::string(5000, 'n'));
  test::writeFile(dir_.file("plain"), "");
  struct Case {
    std::string name;
    int32_t mode;
    int lastError;  // 0: the name or mode closes the log
  } cases[] = {
      {dir_.file("missing/trace.txt"), 1, 2},
      {dir_.file("plain/trace.txt"), 1, 3},
      {dir_.path(), 1, 5},
      {longName, 1, 206},
      {"/dev/full", 1, 112},
      {"", 1, 0},
      {"other.txt", 8, 0},
      {"other.txt", -1, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name.substr(0, 80) + " mode " + std::to_string(c.mode));
    std::filesystem::remove(name);
    LogFile log(name.c_str(), kNameAppend, true);
    EXPECT_EQ(kernel_.debugLines().back(), "LogOpen(" + name + ") success");
    EXPECT_FALSE(log.Open(c.name.c_str(), c.mode, true));
    EXPECT_EQ(log.isOpen(), c.lastError != 0);
    if (c.lastError != 0) {
      EXPECT_EQ(kernel_.debugLines().back(),
                "LogOpen(" + c.name + ") failed, last error = " + std::to_string(c.lastError));
    }
    EXPECT_EQ(log.LogIt("kept"), c.lastError != 0 ? Entry::kWritten : Entry::kDropped);
    log.Close();
    test::expectTraceLines(name, c.lastError != 0 ? std::vector<std::string>{kStart, "kept", kEnd}
                                                  : std::vector<std::string>{kStart, kEnd});
  }
  LogFile closed;
  EXPECT_FALSE(closed.Open(nullptr, kNameAppend, true));
  EXPECT_FALSE(std::filesystem::exists(dir_.file("plain/trace.txt")));
  EXPECT_FALSE(std::filesystem::exists("other.txt"));
}

TEST_F(LogFileTest, WriteFailuresAreReportedByTheWriterAndOnceOnTheDebugger) {
  LogFile log("/dev/full", kNameAppend, false);
  ASSERT_TRUE(log.isOpen());
  EXPECT_EQ(log.LogText(-1, "lost"), Entry::kWriteFailed);
  EXPECT_EQ(log.LogIt("lost %d", 2), Entry::kWriteFailed);
  EXPECT_EQ(log.WriteRaw(4, "lost", LogFile::kRawPrefix), LogFile::kRawShortWrite);
  EXPECT_EQ(log.PrintfRaw("%s", "lost"), LogFile::kRawShortWrite);
  log.Close();
  EXPECT_EQ(log.LogText(-1, "nowhere"), Entry::kDropped);
  const auto debug = kernel_.debugLines();
  EXPECT_EQ(std::count(debug.begin(), debug.end(), "LogWrite(/dev/full) failed, last error = 112"), 1);
}

}  // namespace
}  // namespace tevra::log

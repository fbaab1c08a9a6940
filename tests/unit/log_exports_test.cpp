#include <gtest/gtest.h>

#include <string>

#include "src/log/driver_logs.h"
#include "tests/support/driver_test.h"
#include "tests/support/trace_compare.h"
#include "tevra.h"

namespace tevra::log {
namespace {

constexpr char kStart[] = "*** Start of Log ***";
constexpr char kEnd[] = "*** End of Log ***";

using LogExportsTest = test::DriverTest;

TEST_F(LogExportsTest, OpenAppendsLinesToTheNamedFileUntilClose) {
  const std::string name = dir_.file("named.txt");
  test::writeFile(name, "old\r\n");
  EXPECT_EQ(Tevra_Log_Open(name.c_str()), 1);
  EXPECT_EQ(Tevra_Log_LogIt("n=%d %s", 5, "units"), 1);
  EXPECT_EQ(Tevra_Log_LogIt(nullptr), -1);
  Tevra_Log_Close();
  EXPECT_EQ(Tevra_Log_LogIt("dropped"), 0);
  test::expectTraceLines(name, {"old", kStart, "n=5 units", kEnd});
  test::expectTraceLines(trace_, {kStart, kEnd});
  const std::vector<std::string> debug = {"LogOpen(" + trace_ + ") success", "LogOpen(" + name + ") success",
                                          "Tevra_Log_Open('" + name + "'), rc = 1", "Tevra_Log_Close()"};
  EXPECT_EQ(kernel_.debugLines(), debug);
}

TEST_F(LogExportsTest, LogItCutsLongTextsRefusesWritesToMemoryAndCopiesToTheDebugger) {
  const std::string text(3000, 'c');
  int written = -7;
  EXPECT_EQ(Tevra_Log_LogIt("%s", text.c_str()), 1);
  for (const char* format : {"%n", "abc%5$hhn", "%-08ln", "100%% %n"}) {
    EXPECT_EQ(Tevra_Log_LogIt(format, &written), -1) << format;
  }
  EXPECT_EQ(Tevra_Log_LogIt("100%%n"), 1);
  debugOutputSwitch() = 1;
  EXPECT_EQ(Tevra_Log_LogIt("loud %d", 2), 1);
  EXPECT_EQ(written, -7);
  const std::string refused = "ERR -1,Log_LogIt() refused a format with %n";
  EXPECT_EQ(lines(), (std::vector<std::string>{text.substr(0, TEVRA_LOGIT_TEXT_MAX), refused, refused,
                                               refused, refused, "100%n", "loud 2"}));
  EXPECT_EQ(kernel_.debugLines().back(), "loud 2");
  EXPECT_EQ(kernel_.debugLines().size(), 2u);
}

TEST_F(LogExportsTest, OpenWithAnUnusableNameClosesTheTraceAndAFailingFileKeepsIt) {
  const std::string longName = dir_.file(std::string(5000, 'n'));
  struct Case {
    const char* name;
    std::string shown;
    bool keeps;
  } cases[] = {{nullptr, "", false},
               {"", "", false},
               {longName.c_str(), longName, true},
               {dir_.path().c_str(), dir_.path(), true},
               {"/dev/full", "/dev/full", true}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.shown.substr(0, 80));
    Tevra_Log_Close();
    test::writeFile(trace_, "");
    ASSERT_EQ(Tevra_Log_Open(trace_.c_str()), 1);
    EXPECT_EQ(Tevra_Log_Open(c.name), -1);
    EXPECT_EQ(kernel_.debugLines().back(), "Tevra_Log_Open('" + c.shown + "'), rc = -1");
    EXPECT_EQ(Tevra_Log_LogIt("after"), c.keeps ? 1 : 0);
    Tevra_Log_Close();
    test::expectTraceLines(trace_, c.keeps ? std::vector<std::string>{kStart, "after", kEnd}
                                           : std::vector<std::string>{kStart, kEnd});
  }
}

}  // namespace
}  // namespace tevra::log

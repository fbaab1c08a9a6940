#include <gtest/gtest.h>

#include <string>

#include "src/log/driver_logs.h"
#include "tests/support/fake_kernel.h"
#include "tests/support/temp_dir.h"
#include "tests/support/trace_compare.h"
#include "tevra.h"

namespace tevra::log {
namespace {

constexpr char kStart[] = "*** Start of Log ***";
constexpr char kEnd[] = "*** End of Log ***";

class LogExportsTest : public ::testing::Test {
 protected:
  void TearDown() override {
    traceLog().Close();
    debugOutputSwitch() = 0;
  }

  test::FakeKernel kernel_;
  test::TempDir dir_;
};

TEST_F(LogExportsTest, OpenAppendsLinesToTheNamedFileUntilClose) {
  const std::string name = dir_.file("trace.txt");
  test::writeFile(name, "old\r\n");
  EXPECT_EQ(Tevra_Log_Open(name.c_str()), 1);
  Tevra_Log_LogIt("n=%d %s", 5, "units");
  Tevra_Log_LogIt(nullptr);
  Tevra_Log_Close();
  test::expectTraceLines(name, {"old", kStart, "n=5 units", kEnd});
  const std::vector<std::string> debug = {"LogOpen(" + name + ") success",
                                          "Tevra_Log_Open('" + name + "'), rc = 1", "Tevra_Log_Close()"};
  EXPECT_EQ(kernel_.debugLines(), debug);
}

TEST_F(LogExportsTest, LogItCutsLongTextsAndCopiesToTheDebuggerWhenSwitchedOn) {
  const std::string name = dir_.file("trace.txt");
  ASSERT_EQ(Tevra_Log_Open(name.c_str()), 1);
  const auto mark = test::traceMark(name);
  const std::string text(3000, 'c');
  Tevra_Log_LogIt("%s", text.c_str());
  Tevra_Log_LogIt("quiet");
  debugOutputSwitch() = 1;
  Tevra_Log_LogIt("loud %d", 2);
  test::expectTraceLines(name, {text.substr(0, TEVRA_LOGIT_TEXT_MAX), "quiet", "loud 2"}, mark);
  EXPECT_EQ(kernel_.debugLines().back(), "loud 2");
  EXPECT_EQ(kernel_.debugLines().size(), 3u);
}

TEST_F(LogExportsTest, OpenWithAnUnusableNameClosesTheTraceAndFails) {
  const std::string name = dir_.file("trace.txt");
  const std::string longName = dir_.file(std::string(5000, 'n'));
  struct Case {
    const char* name;
    std::string shown;
  } cases[] = {{nullptr, ""}, {"", ""}, {longName.c_str(), longName}, {dir_.path().c_str(), dir_.path()}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.shown.substr(0, 80));
    test::writeFile(name, "");
    ASSERT_EQ(Tevra_Log_Open(name.c_str()), 1);
    EXPECT_EQ(Tevra_Log_Open(c.name), -1);
    EXPECT_FALSE(traceLog().isOpen());
    Tevra_Log_LogIt("dropped");
    test::expectTraceLines(name, {kStart, kEnd});
    EXPECT_EQ(kernel_.debugLines().back(), "Tevra_Log_Open('" + c.shown + "'), rc = -1");
  }
}

}  // namespace
}  // namespace tevra::log
